#include "markup/dbf.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>

#include "base/reason.h"
#include "core/language.h"
#include "platform/platform.h"

namespace {

// Header layout.
constexpr int OFF_VERSION = 0;
constexpr int OFF_DATE = 1;
constexpr int OFF_RECORDS = 4;
constexpr int OFF_HEADERLEN = 8;
constexpr int OFF_RECORDLEN = 10;
constexpr int OFF_LANGUAGE = 29;
constexpr unsigned char VERSION_DBASE3 = 0x03;
constexpr unsigned char LANGUAGE_DRIVER = 0x03;
constexpr unsigned char END_OF_FIELDS = 0x0D;

// Field descriptor layout.
constexpr int DESC_TYPE = 11;
constexpr int DESC_LENGTH = 16;

constexpr char LIVE = ' ';
constexpr char DELETED = '*';

// Why the latest open failed, for kxdbf_failure.
std::string open_failure;

// The damage that makes a file no table, in the toolkit's language.
struct Refusal {
    const char *text[2];
};
constexpr Refusal NOT_A_TABLE = {{"not a dBase table", "keine dBase-Tabelle"}};
constexpr Refusal HEADER_TOO_LONG = {{"not a dBase table (header of %d bytes)",
                                      "keine dBase-Tabelle (Kopf von %d Bytes)"}};

void refuse(const Refusal &r, int number = 0)
{
    char text[100];
    std::snprintf(text, sizeof text, r.text[kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0], number);
    open_failure = text;
}

// The first byte of every dBase and FoxPro table is its version: 2 to 5 in
// the low three bits (with a memo flag in the high ones), or Visual FoxPro's
// 0x30 and 0x31; month and day of the last update follow (0 where a writer
// left them out).  A file of another kind, text above all, fails this.
bool dbase_start(const unsigned char *h)
{
    const int low = h[OFF_VERSION] & 0x07;
    const bool version = (low >= 2 && low <= 5) || h[OFF_VERSION] == 0x30 || h[OFF_VERSION] == 0x31;
    return version && h[OFF_DATE + 1] <= 12 && h[OFF_DATE + 2] <= 31;
}

unsigned get16(const unsigned char *p) { return p[0] | unsigned(p[1]) << 8; }

std::uint32_t get32(const unsigned char *p)
{
    return p[0] | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void put16(unsigned char *p, unsigned v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::int64_t record_pos(const kxXBase *db, std::uint32_t number)
{
    return db->headerlength + std::int64_t(number) * db->recordlength;
}

bool seek(std::FILE *f, std::int64_t pos)
{
    return pos >= 0 && pos <= std::numeric_limits<long>::max() &&
           std::fseek(f, static_cast<long>(pos), SEEK_SET) == 0;
}

// Every write goes through here, so one failure marks the whole file.
bool put(kxXBase *db, std::int64_t pos, const void *data, std::size_t n)
{
    if (!seek(db->file, pos) || std::fwrite(data, 1, n, db->file) != n) {
        db->failed = true;
        return false;
    }
    return true;
}

// Reads up to n bytes at pos; the count actually read.
std::size_t get(kxXBase *db, std::int64_t pos, void *data, std::size_t n)
{
    if (!seek(db->file, pos))
        return 0;
    return std::fread(data, 1, n, db->file);
}

void forget(kxXBase *db)
{
    db->file = nullptr;
    db->replacing = nullptr;
    db->open = db->readonly = db->modified = db->failed = false;
    db->headerlength = db->recordlength = 0;
    db->records = 0;
    db->fieldcount = 0;
    db->live.clear();
    db->deleted.clear();
    db->reused = 0;
}

bool has_dbf_suffix(const char *name, bool upper_too)
{
    return std::strstr(name, ".dbf") || (upper_too && std::strstr(name, ".DBF"));
}

// The name with ".dbf" appended unless it already has it; false when the
// result would be longer than a name the record keeps.
bool suffixed(const char *name, bool upper_too, std::string &out)
{
    out = name;
    if (!has_dbf_suffix(name, upper_too))
        out += ".dbf";
    return out.size() <= std::size_t(KX_DBF_NAME_MAX);
}

bool keep_name(kxXBase *db, const char *op, const char *name)
{
    std::size_t n = std::strlen(name);
    if (n > std::size_t(KX_DBF_NAME_MAX)) {
        std::printf("%s: file name too long\n", op);
        return false;
    }
    std::memcpy(db->name, name, n + 1);
    return true;
}

// A field's width by its type: character fields may use 16 bits, the others
// have one byte (dBase III keeps the decimal count of numbers in the next).
int descriptor_length(const unsigned char *d)
{
    return d[DESC_TYPE] == 'C' ? int(get16(d + DESC_LENGTH)) : int(d[DESC_LENGTH]);
}

// Builds the field list from the header image, of which got bytes came from
// the file.  Descriptors stop at the 0x0D mark or where the bytes end; a
// field reaching past the record is cut at its end.
void parse_fields(kxXBase *db, std::size_t got)
{
    int count = db->headerlength > KX_DBF_MAIN_SIZE
                    ? (db->headerlength - KX_DBF_MAIN_SIZE - 1) / KX_DBF_DESCRIPTOR_SIZE
                    : 0;
    count = std::min(count, KX_DBF_MAX_FIELDS);
    int offset = 1;
    db->fieldcount = 0;
    for (int i = 0; i < count; ++i) {
        std::size_t at = KX_DBF_MAIN_SIZE + std::size_t(i) * KX_DBF_DESCRIPTOR_SIZE;
        if (at + KX_DBF_DESCRIPTOR_SIZE > got || db->header[at] == END_OF_FIELDS)
            break;
        const unsigned char *d = &db->header[at];
        kxdbffield &f = db->fields[i];
        std::memcpy(f.name, d, KX_DBF_FIELDNAME_SIZE);
        f.name[KX_DBF_FIELDNAME_SIZE] = 0;
        f.type = static_cast<char>(d[DESC_TYPE]);
        int length = descriptor_length(d);
        f.offset = std::min(offset, db->recordlength);
        f.length = std::clamp(db->recordlength - f.offset, 0, length);
        offset += length; // at most 311 x 65535: no overflow
        db->fieldcount = i + 1;
    }
}

void collect_live(kxXBase *db)
{
    db->live.clear();
    db->deleted.clear();
    db->reused = 0;
    for (std::uint32_t n = 0; n < db->records; ++n) {
        char flag = 0;
        if (get(db, record_pos(db, n), &flag, 1) == 1 && flag == DELETED)
            db->deleted.push_back(n);
        else
            db->live.push_back(n);
    }
}

// Reads and checks the header of the open stream and the live records.
bool load_header(kxXBase *db)
{
    long size = kxfile_streamsize(db->file);
    std::fill(db->header.begin(), db->header.end(), 0);
    if (size < KX_DBF_MAIN_SIZE || get(db, 0, db->header.data(), KX_DBF_MAIN_SIZE) != KX_DBF_MAIN_SIZE ||
        !dbase_start(db->header.data())) {
        std::printf("kxdbf_open: %s: not a dBase table\n", db->name);
        refuse(NOT_A_TABLE);
        return false;
    }
    db->headerlength = int(get16(&db->header[OFF_HEADERLEN]));
    db->recordlength = int(get16(&db->header[OFF_RECORDLEN]));
    if (db->headerlength > KX_DBF_HEADER_MAX) {
        std::printf("kxdbf_open: %s: header of %d bytes is too long\n", db->name, db->headerlength);
        refuse(HEADER_TOO_LONG, db->headerlength);
        return false;
    }
    std::size_t want = std::max(db->headerlength, KX_DBF_MAIN_SIZE);
    std::size_t got = KX_DBF_MAIN_SIZE + get(db, KX_DBF_MAIN_SIZE, &db->header[KX_DBF_MAIN_SIZE],
                                             want - KX_DBF_MAIN_SIZE);
    if (got < want)
        std::printf("kxdbf_open: %s: file ends inside its header\n", db->name);
    parse_fields(db, got);

    // Records that start inside the file count; one cut short reads as far
    // as it goes.
    std::uint32_t claimed = get32(&db->header[OFF_RECORDS]);
    std::int64_t body = std::int64_t(size) - db->headerlength;
    std::int64_t present = 0;
    if (db->recordlength > 0 && body > 0)
        present = (body + db->recordlength - 1) / db->recordlength;
    else if (claimed > 0 && db->recordlength == 0)
        std::printf("kxdbf_open: %s: record length is 0\n", db->name);
    db->records = claimed;
    if (claimed > present) {
        if (db->recordlength > 0)
            std::printf("kxdbf_open: %s: holds %lld of %u records\n", db->name,
                        static_cast<long long>(present), claimed);
        db->records = static_cast<std::uint32_t>(present);
    }
    collect_live(db);
    return true;
}

// A new record at the end: a space as deletion byte, NUL bytes in every field.
bool append_record(kxXBase *db)
{
    if (db->records == std::numeric_limits<std::uint32_t>::max() || db->recordlength < 1)
        return false;
    std::vector<char> blank(std::size_t(db->recordlength), 0);
    blank[0] = LIVE;
    if (!put(db, record_pos(db, db->records), blank.data(), blank.size()))
        return false;
    db->live.push_back(db->records++);
    db->modified = true;
    return true;
}

// A new live record: the first deleted one not given out yet, made empty,
// else one at the end.  Either takes the next index, so that the indices
// given out before stay as they are.
bool new_record(kxXBase *db)
{
    if (db->reused >= db->deleted.size())
        return append_record(db);
    const std::uint32_t n = db->deleted[db->reused];
    std::vector<char> blank(std::size_t(db->recordlength), 0);
    blank[0] = LIVE;
    if (!put(db, record_pos(db, n), blank.data(), blank.size()))
        return false;
    db->reused++;
    db->live.push_back(n);
    db->modified = true;
    return true;
}

const kxdbffield *field_at(const kxXBase *db, int field)
{
    if (!db || !db->open || field < 0 || field >= db->fieldcount)
        return nullptr;
    return &db->fields[field];
}

} // namespace

kxXBase::~kxXBase() { kxdbf_close(this); }

void kxdbf_datebytes(int year, int month, int day, unsigned char out[3])
{
    int y = year - 1900;
    if (y > 100)
        y -= 100;
    out[0] = static_cast<unsigned char>(std::clamp(y, 0, 255));
    out[1] = static_cast<unsigned char>(std::clamp(month, 1, 12));
    out[2] = static_cast<unsigned char>(std::clamp(day, 1, 31));
}

bool kxdbf_createfields(kxXBase *db, const char *name, int records, const kxdbfcolumn *columns,
                        int count)
{
    if (!db || !name || records < 0 || count < 0 || (count > 0 && !columns))
        return false;
    if (count > KX_DBF_MAX_FIELDS) {
        std::printf("kxdbf_create: %d fields do not fit the header\n", count);
        return false;
    }
    long recordlength = 1;
    for (int i = 0; i < count; ++i) {
        if (columns[i].length < 0 || columns[i].length > KX_DBF_RECORD_MAX)
            recordlength = KX_DBF_RECORD_MAX + 1;
        else
            recordlength += columns[i].length;
    }
    if (recordlength > KX_DBF_RECORD_MAX) {
        std::printf("kxdbf_create: fields do not fit a record of %d bytes\n", KX_DBF_RECORD_MAX);
        return false;
    }
    kxdbf_close(db);
    if (!keep_name(db, "kxdbf_create", name))
        return false;
    db->replacing = kxfile_replacebegin(name);
    db->file = kxfile_replacestream(db->replacing);
    if (!db->file) {
        kxfile_replaceend(db->replacing, false);
        forget(db);
        return false;
    }

    db->headerlength = KX_DBF_MAIN_SIZE + KX_DBF_DESCRIPTOR_SIZE * count + 1;
    db->recordlength = int(recordlength);
    auto &h = db->header;
    std::fill(h.begin(), h.end(), 0);
    h[OFF_VERSION] = VERSION_DBASE3;
    int year, month, day;
    kxsys_today(&year, &month, &day);
    kxdbf_datebytes(year, month, day, &h[OFF_DATE]);
    put32(&h[OFF_RECORDS], std::uint32_t(records));
    put16(&h[OFF_HEADERLEN], unsigned(db->headerlength));
    put16(&h[OFF_RECORDLEN], unsigned(db->recordlength));
    h[OFF_LANGUAGE] = LANGUAGE_DRIVER;
    for (int i = 0; i < count; ++i) {
        unsigned char *d = &h[KX_DBF_MAIN_SIZE + std::size_t(i) * KX_DBF_DESCRIPTOR_SIZE];
        if (columns[i].name)
            std::memcpy(d, columns[i].name,
                        std::min(std::strlen(columns[i].name), std::size_t(KX_DBF_FIELDNAME_SIZE - 1)));
        d[DESC_TYPE] = 'C';
        put16(d + DESC_LENGTH, unsigned(columns[i].length));
    }
    h[std::size_t(db->headerlength) - 1] = END_OF_FIELDS;

    db->open = true;
    bool ok = put(db, 0, h.data(), std::size_t(db->headerlength));
    parse_fields(db, std::size_t(db->headerlength));
    db->records = 0;
    for (int n = 0; ok && n < records; ++n)
        ok = append_record(db);
    db->modified = false;
    if (!ok) {
        kxfile_replaceend(db->replacing, false);
        forget(db);
    }
    return ok;
}

bool kxdbf_create(kxXBase *db, const char *name, int records, int fields, int fieldlength)
{
    if (!db || !name || fields < 0 || fieldlength < 0 || fieldlength >= KX_DBF_RECORD_MAX)
        return false;
    if (fields > KX_DBF_MAX_FIELDS) {
        std::printf("kxdbf_create: %d fields do not fit the header\n", fields);
        return false;
    }
    std::string file;
    if (!suffixed(name, true, file)) {
        std::printf("kxdbf_create: file name too long\n");
        return false;
    }
    std::vector<std::array<char, KX_DBF_FIELDNAME_SIZE>> names(static_cast<std::size_t>(fields));
    std::vector<kxdbfcolumn> columns(static_cast<std::size_t>(fields));
    for (int i = 0; i < fields; ++i) {
        std::snprintf(names[i].data(), names[i].size(), "C%d", i);
        columns[i] = {names[i].data(), fieldlength + 1};
    }
    return kxdbf_createfields(db, file.c_str(), records, columns.data(), fields);
}

bool kxdbf_open(kxXBase *db, const char *name)
{
    if (!db || !name)
        return false;
    kxdbf_close(db);
    open_failure.clear();
    if (!keep_name(db, "kxdbf_open", name)) {
        open_failure = kxreason_text(ENAMETOOLONG);
        return false;
    }
    db->file = std::fopen(name, "r+b");
    int err = errno;
    // A directory may open for reading on some hosts, and yields no bytes.
    if (!db->file && err != ENOENT && err != EISDIR) {
        db->file = std::fopen(name, "rb");
        db->readonly = true;
        err = errno;
    }
    if (!db->file) {
        if (err != ENOENT)
            open_failure = kxreason_text(err);
        forget(db);
        return false;
    }
    db->open = true;
    if (!load_header(db)) {
        std::fclose(db->file);
        forget(db);
        return false;
    }
    return true;
}

bool kxdbf_read(kxXBase *db, char *buf, std::size_t capacity, int record, int field)
{
    if (!buf || capacity == 0)
        return false;
    buf[0] = 0;
    const kxdbffield *f = field_at(db, field);
    if (!f || record < 0 || std::size_t(record) >= db->live.size())
        return false;
    std::size_t want = std::min(std::size_t(f->length), capacity - 1);
    std::size_t got = get(db, record_pos(db, db->live[std::size_t(record)]) + f->offset, buf, want);
    buf[got] = 0;
    std::size_t n = std::strlen(buf);
    while (n > 0 && buf[n - 1] == ' ')
        buf[--n] = 0;
    return true;
}

bool kxdbf_write(kxXBase *db, const char *text, int record, int field)
{
    const kxdbffield *f = field_at(db, field);
    if (!f || !text || record < 0 || db->readonly)
        return false;
    while (db->live.size() <= std::size_t(record))
        if (!new_record(db))
            return false;
    std::string bytes(std::size_t(f->length), ' ');
    std::memcpy(bytes.data(), text, std::min(std::strlen(text), bytes.size()));
    db->modified = true;
    return put(db, record_pos(db, db->live[std::size_t(record)]) + f->offset, bytes.data(),
               bytes.size());
}

bool kxdbf_close(kxXBase *db)
{
    if (!db || !db->open)
        return true;
    // A file only read is left exactly as it was, damage included.
    if (db->modified && !db->readonly) {
        put32(&db->header[OFF_RECORDS], db->records);
        int year, month, day;
        kxsys_today(&year, &month, &day);
        kxdbf_datebytes(year, month, day, &db->header[OFF_DATE]);
        put(db, 0, db->header.data(), std::size_t(db->headerlength));
    }
    bool ok = !db->failed;
    if (db->replacing) {
        ok = kxfile_replaceend(db->replacing, ok);
    } else {
        ok = std::fflush(db->file) == 0 && ok;
        ok = std::fclose(db->file) == 0 && ok;
    }
    forget(db);
    return ok;
}

const char *kxdbf_failure() { return open_failure.c_str(); }

int kxdbf_records(const kxXBase *db)
{
    if (!db || !db->open)
        return 0;
    return int(std::min<std::size_t>(db->live.size(), std::numeric_limits<int>::max()));
}

int kxdbf_fields(const kxXBase *db) { return db && db->open ? db->fieldcount : 0; }

bool kxdbf_savetable(const char *name, int firstrecord, int firstfield, int columns, int rows,
                     const std::function<std::string(int column, int row)> &cell)
{
    if (!name || !cell || firstrecord < 0 || firstfield < 0 || columns < 0 || rows < 0 ||
        rows > std::numeric_limits<int>::max() - firstrecord ||
        columns > KX_DBF_MAX_FIELDS - firstfield)
        return false;
    std::string file;
    if (!suffixed(name, false, file))
        return false;
    kxXBase db;
    if (!kxdbf_create(&db, file.c_str(), firstrecord + rows, firstfield + columns,
                      KX_DBF_TABLE_FIELDLEN - 1))
        return false;
    bool ok = true;
    for (int r = 0; r < rows && ok; ++r)
        for (int c = 0; c < columns && ok; ++c)
            ok = kxdbf_write(&db, cell(c, r).c_str(), firstrecord + r, firstfield + c);
    if (!ok)
        db.failed = true; // the old file stays
    return kxdbf_close(&db) && ok;
}

bool kxdbf_loadtable(const char *name, int firstrecord, int firstfield, int columns, int rows,
                     std::size_t maxlen,
                     const std::function<void(int column, int row, const char *text)> &cell)
{
    open_failure.clear();
    if (!name || !cell || firstrecord < 0 || firstfield < 0 || columns < 0 || rows < 0)
        return false;
    std::string file;
    if (!suffixed(name, false, file)) {
        open_failure = kxreason_text(ENAMETOOLONG);
        return false;
    }
    kxXBase db;
    if (!kxdbf_open(&db, file.c_str()))
        return false;
    std::vector<char> text(maxlen + 1);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            // Indices past the int range are missing records or fields.
            long long rec = static_cast<long long>(firstrecord) + r;
            long long fld = static_cast<long long>(firstfield) + c;
            text[0] = 0;
            if (rec <= std::numeric_limits<int>::max() && fld <= std::numeric_limits<int>::max())
                kxdbf_read(&db, text.data(), text.size(), int(rec), int(fld));
            cell(c, r, text.data());
        }
    kxdbf_close(&db);
    return true;
}
