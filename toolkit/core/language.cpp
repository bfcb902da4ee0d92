#include "core/language.h"

#include <cerrno>
#include <system_error>

namespace {

int current = KX_LANG_ENGLISH;

struct Reason {
    int err;
    const char *german;  // ISO 8859-1, as every text the toolkit draws
};

// The failures a program meets with its files, directories and devices.
constexpr Reason reasons[] = {
    {EACCES, "keine Berechtigung"},
    {EPERM, "nicht erlaubt"},
    {ENOENT, "existiert nicht"},
    {ENOSPC, "kein Platz mehr auf dem Datentr\xe4ger"},
    {EROFS, "Dateisystem ist schreibgesch\xfctzt"},
    {EISDIR, "ist ein Verzeichnis"},
    {ENOTDIR, "ist kein Verzeichnis"},
    {EEXIST, "existiert bereits"},
    {ENOTEMPTY, "Verzeichnis ist nicht leer"},
    {EIO, "Ein-/Ausgabefehler"},
    {EBUSY, "wird benutzt"},
    {ENAMETOOLONG, "Name ist zu lang"},
    {EMFILE, "zu viele offene Dateien"},
    {ENFILE, "zu viele offene Dateien im System"},
    {ENOMEM, "nicht genug Speicher"},
    {EFBIG, "Datei ist zu gro\xdf"},
    {EXDEV, "liegt auf einem anderen Dateisystem"},
    {EINVAL, "ung\xfcltiges Argument"},
    {EAGAIN, "vor\xfc" "bergehend nicht verf\xfc" "gbar"},
    {EINTR, "unterbrochen"},
    {ENXIO, "Ger\xe4t ist nicht da"},
    {ENODEV, "kein solches Ger\xe4t"},
    {EBADF, "ung\xfcltiger Dateideskriptor"},
    {EPIPE, "die Gegenseite ist geschlossen"},
#ifdef ELOOP
    {ELOOP, "zu viele symbolische Verkn\xfcpfungen"},
#endif
#ifdef ETXTBSY
    {ETXTBSY, "wird benutzt"},
#endif
#ifdef EDQUOT
    {EDQUOT, "Speicherkontingent ist ersch\xf6pft"},
#endif
};

} // namespace

void kxlanguage_set(int language)
{
    current = language == KX_LANG_GERMAN ? KX_LANG_GERMAN : KX_LANG_ENGLISH;
}

int kxlanguage_get() { return current; }

std::string kxlanguage_reason(int err)
{
    if (current == KX_LANG_GERMAN)
        for (const Reason &r : reasons)
            if (r.err == err)
                return r.german;
    return std::generic_category().message(err);
}
