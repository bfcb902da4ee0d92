// Regular expressions: a parser into a small tree, a compiler into jumps and
// byte tests, and a matcher that keeps every live position of the program
// in one list per byte of the line (each position at most once).
#include "io/pattern.h"

#include "base/hexdigit.h"
#include "core/language.h"

namespace {

enum Code : std::uint8_t { BYTE, SET, ANY, BOL, EOL, JMP, SPLIT, MATCH };

enum class Fault { repeat, unclosed, unopened, noset, backwards, bounds, unknown, lone,
                   xdigits, deep, large };

struct FaultText {
    Fault fault;
    const char *text[2];  // English, German; %s takes the detail
};
constexpr FaultText fault_texts[] = {
    {Fault::repeat, {"nothing to repeat", "nichts zu wiederholen"}},
    {Fault::unclosed, {"( without )", "( ohne )"}},
    {Fault::unopened, {") without (", ") ohne ("}},
    {Fault::noset, {"[ without ]", "[ ohne ]"}},
    {Fault::backwards, {"range backwards: %s", "Bereich r\xfc" "ckw\xe4rts: %s"}},
    {Fault::bounds, {"{ needs n, n, or n,m up to 100", "{ braucht n, n, oder n,m bis 100"}},
    {Fault::unknown, {"unknown sequence \\%s", "unbekannte Folge \\%s"}},
    {Fault::lone, {"lone \\ at the end", "einzelnes \\ am Ende"}},
    {Fault::xdigits, {"\\x needs two hex digits", "\\x braucht zwei Hexziffern"}},
    {Fault::deep, {"groups nested too deep", "Gruppen zu tief geschachtelt"}},
    {Fault::large, {"pattern too large", "Muster zu gro\xdf"}},
};

using Set = std::array<std::uint64_t, 4>;

void set_add(Set &s, int lo, int hi)
{
    for (int b = lo; b <= hi; b++)
        s[static_cast<std::size_t>(b >> 6)] |= std::uint64_t{1} << (b & 63);
}

bool set_has(const Set &s, unsigned char b) { return (s[b >> 6] >> (b & 63)) & 1; }

void set_invert(Set &s)
{
    for (std::uint64_t &w : s)
        w = ~w;
}

struct Node {
    enum Kind { byte, set, any, bol, eol, cat, alt, repeat } kind = cat;
    int value = 0;          // the byte, or the set's index
    std::vector<int> kids;  // nodes of cat and alt; repeat has one
    int min = 0, max = 0;   // repeat; max -1 for no limit
};

struct Fail {
    Fault fault;
    std::string detail;
    std::size_t at;
};

struct Parser {
    std::string_view src;
    std::size_t pos = 0;
    std::vector<Node> nodes;
    std::vector<Set> sets;
    bool failed = false;
    Fail fail{};

    bool end() const { return pos >= src.size(); }
    char peek() const { return end() ? '\0' : src[pos]; }

    int stop(Fault f, std::size_t at, std::string detail = {})
    {
        if (!failed)
            fail = {f, std::move(detail), at};
        failed = true;
        return -1;
    }

    int add(Node n)
    {
        nodes.push_back(std::move(n));
        return static_cast<int>(nodes.size()) - 1;
    }

    int add_set(const Set &s)
    {
        sets.push_back(s);
        Node n;
        n.kind = Node::set;
        n.value = static_cast<int>(sets.size()) - 1;
        return add(n);
    }

    int alternatives(int depth);
    int sequence(int depth);
    int atom(int depth);
    int quantified(int atom_node);
    bool escape_into(Set *s, int *byte);
    int bracket();
};

bool is_alnum(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

// The escape at pos (its backslash already read): either a set (\d and
// friends, *byte set to -1) or one byte.
bool Parser::escape_into(Set *s, int *byte)
{
    const std::size_t at = pos - 1;
    if (end()) {
        stop(Fault::lone, at);
        return false;
    }
    const char ch = src[pos++];
    *byte = -1;
    *s = Set{};
    switch (ch) {
    case 'd': case 'D':
        set_add(*s, '0', '9');
        break;
    case 'w': case 'W':
        set_add(*s, '0', '9'), set_add(*s, 'a', 'z'), set_add(*s, 'A', 'Z'), set_add(*s, '_', '_');
        break;
    case 's': case 'S':
        set_add(*s, '\t', '\r'), set_add(*s, ' ', ' ');
        break;
    case 't': *byte = '\t'; return true;
    case 'r': *byte = '\r'; return true;
    case 'n': *byte = '\n'; return true;
    case 'e': *byte = 0x1B; return true;
    case '0': *byte = 0; return true;
    case 'x': {
        const int hi = end() ? -1 : kxhex_digit(src[pos]);
        const int lo = pos + 1 < src.size() ? kxhex_digit(src[pos + 1]) : -1;
        if (hi < 0 || lo < 0) {
            stop(Fault::xdigits, at);
            return false;
        }
        pos += 2;
        *byte = hi * 16 + lo;
        return true;
    }
    default:
        if (is_alnum(ch)) {
            stop(Fault::unknown, at, std::string(1, ch));
            return false;
        }
        *byte = static_cast<unsigned char>(ch);
        return true;
    }
    if (ch >= 'A' && ch <= 'Z')
        set_invert(*s);
    return true;
}

// [...] from its [ on; a ] right after [ or [^ is a byte of the set.
int Parser::bracket()
{
    const std::size_t open = pos++;
    Set s{};
    const bool negated = peek() == '^';
    if (negated)
        pos++;
    bool first = true;
    for (;;) {
        if (end())
            return stop(Fault::noset, open);
        if (src[pos] == ']' && !first)
            break;
        first = false;
        const std::size_t item = pos;
        int lo = static_cast<unsigned char>(src[pos++]);
        if (lo == '\\') {
            Set esc;
            if (!escape_into(&esc, &lo))
                return -1;
            if (lo < 0) {  // \d and friends join the set whole
                for (std::size_t w = 0; w < s.size(); w++)
                    s[w] |= esc[w];
                continue;
            }
        }
        int hi = lo;
        if (pos + 1 < src.size() && src[pos] == '-' && src[pos + 1] != ']') {
            pos++;
            hi = static_cast<unsigned char>(src[pos++]);
            if (hi == '\\') {
                Set esc;
                if (!escape_into(&esc, &hi))
                    return -1;
                if (hi < 0)
                    return stop(Fault::backwards, item, std::string(src.substr(item, pos - item)));
            }
            if (hi < lo)
                return stop(Fault::backwards, item, std::string(src.substr(item, pos - item)));
        }
        set_add(s, lo, hi);
    }
    pos++;  // the ]
    if (negated)
        set_invert(s);
    return add_set(s);
}

int Parser::atom(int depth)
{
    const std::size_t at = pos;
    const char ch = src[pos];
    Node n;
    switch (ch) {
    case '(': {
        if (depth >= KX_PATTERN_DEPTH_MAX)
            return stop(Fault::deep, at);
        pos++;
        if (src.substr(pos, 2) == "?:")
            pos += 2;
        const int inner = alternatives(depth + 1);
        if (inner < 0)
            return -1;
        if (peek() != ')')
            return stop(Fault::unclosed, at);
        pos++;
        return inner;
    }
    case ')':
        return stop(Fault::unopened, at);
    case '*': case '+': case '?': case '{':
        return stop(Fault::repeat, at);
    case '[':
        return bracket();
    case '.': n.kind = Node::any; break;
    case '^': n.kind = Node::bol; break;
    case '$': n.kind = Node::eol; break;
    case '\\': {
        pos++;
        Set s;
        int byte = 0;
        if (!escape_into(&s, &byte))
            return -1;
        if (byte < 0)
            return add_set(s);
        n.kind = Node::byte;
        n.value = byte;
        return add(n);
    }
    default:
        n.kind = Node::byte;
        n.value = static_cast<unsigned char>(ch);
        break;
    }
    pos++;
    return add(n);
}

// A number of at most three digits; -1 when there is none or it is larger.
int bound(Parser &p)
{
    int value = 0, digits = 0;
    while (!p.end() && p.src[p.pos] >= '0' && p.src[p.pos] <= '9') {
        value = value * 10 + (p.src[p.pos++] - '0');
        if (++digits > 3)
            return -1;
    }
    return digits ? value : -1;
}

int Parser::quantified(int node)
{
    const std::size_t at = pos;
    Node n;
    n.kind = Node::repeat;
    n.kids = {node};
    switch (src[pos++]) {
    case '*': n.min = 0, n.max = -1; break;
    case '+': n.min = 1, n.max = -1; break;
    case '?': n.min = 0, n.max = 1; break;
    default: {  // {n} {n,} {n,m}
        n.min = n.max = bound(*this);
        if (peek() == ',') {
            pos++;
            n.max = peek() == '}' ? -1 : bound(*this);
            if (n.max < 0 && peek() != '}')
                return stop(Fault::bounds, at);
        }
        if (peek() != '}' || n.min < 0 || n.min > KX_PATTERN_REPEAT_MAX ||
            n.max > KX_PATTERN_REPEAT_MAX || (n.max >= 0 && n.max < n.min))
            return stop(Fault::bounds, at);
        pos++;
    }
    }
    if (peek() == '?')
        pos++;  // lazy or not: the same lines match
    const char next = peek();
    if (next == '*' || next == '+' || next == '?' || next == '{')
        return stop(Fault::repeat, pos);
    return add(n);
}

int Parser::sequence(int depth)
{
    Node cat;
    cat.kind = Node::cat;
    while (!end() && src[pos] != '|' && src[pos] != ')') {
        int a = atom(depth);
        if (a < 0)
            return -1;
        const char next = peek();
        if (next == '*' || next == '+' || next == '?' || next == '{')
            a = quantified(a);
        if (a < 0)
            return -1;
        cat.kids.push_back(a);
    }
    return add(std::move(cat));
}

int Parser::alternatives(int depth)
{
    Node alt;
    alt.kind = Node::alt;
    for (;;) {
        const int s = sequence(depth);
        if (s < 0)
            return -1;
        alt.kids.push_back(s);
        if (peek() != '|')
            break;
        pos++;
    }
    if (alt.kids.size() == 1)
        return alt.kids[0];
    return add(std::move(alt));
}

// The program of a tree; false once it grows past KX_PATTERN_PROGRAM_MAX.
struct Compiler {
    const std::vector<Node> &nodes;
    std::vector<kxpattern_op> &out;

    int here() const { return static_cast<int>(out.size()); }

    bool emit(std::uint8_t code, int x = 0, int y = 0, std::uint8_t byte = 0)
    {
        if (out.size() >= static_cast<std::size_t>(KX_PATTERN_PROGRAM_MAX))
            return false;
        kxpattern_op op;
        op.code = code;
        op.byte = byte;
        op.x = x;
        op.y = y;
        out.push_back(op);
        return true;
    }

    bool node(int index)
    {
        const Node &n = nodes[static_cast<std::size_t>(index)];
        switch (n.kind) {
        case Node::byte: return emit(BYTE, 0, 0, static_cast<std::uint8_t>(n.value));
        case Node::set: return emit(SET, n.value);
        case Node::any: return emit(ANY);
        case Node::bol: return emit(BOL);
        case Node::eol: return emit(EOL);
        case Node::cat:
            for (int k : n.kids)
                if (!node(k))
                    return false;
            return true;
        case Node::alt: return alternation(n);
        case Node::repeat: return repeat(n);
        }
        return false;
    }

    // SPLIT to each branch but the last; every branch jumps to the end.
    bool alternation(const Node &n)
    {
        std::vector<int> jumps;
        for (std::size_t i = 0; i < n.kids.size(); i++) {
            const bool last = i + 1 == n.kids.size();
            const int split = here();
            if (!last && !emit(SPLIT, split + 1, 0))
                return false;
            if (!node(n.kids[i]))
                return false;
            if (!last) {
                jumps.push_back(here());
                if (!emit(JMP))
                    return false;
                out[static_cast<std::size_t>(split)].y = here();
            }
        }
        for (int j : jumps)
            out[static_cast<std::size_t>(j)].x = here();
        return true;
    }

    bool repeat(const Node &n)
    {
        const int kid = n.kids[0];
        for (int i = 0; i < n.min; i++)
            if (!node(kid))
                return false;
        if (n.max < 0) {  // loop: SPLIT body, out; body; JMP back
            const int split = here();
            if (!emit(SPLIT, split + 1, 0) || !node(kid) || !emit(JMP, split))
                return false;
            out[static_cast<std::size_t>(split)].y = here();
            return true;
        }
        std::vector<int> splits;
        for (int i = n.min; i < n.max; i++) {
            splits.push_back(here());
            if (!emit(SPLIT, here() + 1, 0) || !node(kid))
                return false;
        }
        for (int s : splits)
            out[static_cast<std::size_t>(s)].y = here();
        return true;
    }
};

kxpattern failure(const Fail &f)
{
    const int german = kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0;
    const char *format = "%s";
    for (const FaultText &t : fault_texts)
        if (t.fault == f.fault)
            format = t.text[german];
    kxpattern p;
    p.column = static_cast<int>(f.at) + 1;
    const std::string_view fmt(format);
    const std::size_t slot = fmt.find("%s");
    p.error.append(fmt.substr(0, slot));
    if (slot != std::string_view::npos) {
        p.error += f.detail;
        p.error.append(fmt.substr(slot + 2));
    }
    p.error += german ? " in Spalte " : " at column ";
    p.error += std::to_string(p.column);
    return p;
}

// Adds the threads that start at pc to list: jumps and tests of the position
// are followed at once, with a stack rather than recursion.  True when one
// of them reaches the match.
struct Threads {
    const std::vector<kxpattern_op> &prog;
    std::vector<std::uint32_t> mark;  // the generation in which a pc was added
    std::vector<int> stack;

    bool add(std::vector<int> &list, int start, std::size_t pos, std::size_t length,
             std::uint32_t gen)
    {
        stack.clear();
        stack.push_back(start);
        while (!stack.empty()) {
            const int pc = stack.back();
            stack.pop_back();
            std::uint32_t &m = mark[static_cast<std::size_t>(pc)];
            if (m == gen)
                continue;
            m = gen;
            const kxpattern_op &op = prog[static_cast<std::size_t>(pc)];
            switch (op.code) {
            case JMP: stack.push_back(op.x); break;
            case SPLIT: stack.push_back(op.y), stack.push_back(op.x); break;
            case BOL: if (pos == 0) stack.push_back(pc + 1); break;
            case EOL: if (pos == length) stack.push_back(pc + 1); break;
            case MATCH: return true;
            default: list.push_back(pc); break;
            }
        }
        return false;
    }
};

} // namespace

kxpattern kxpattern_compile(std::string_view source)
{
    Parser p;
    p.src = source;
    const int root = p.alternatives(0);
    if (root >= 0 && !p.end())  // a ) without its (
        p.stop(Fault::unopened, p.pos);
    if (p.failed)
        return failure(p.fail);
    kxpattern out;
    Compiler c{p.nodes, out.program};
    if (!c.node(root) || !c.emit(MATCH))
        return failure({Fault::large, "", 0});
    out.sets = std::move(p.sets);
    out.ok = true;
    return out;
}

bool kxpattern_search(const kxpattern &p, std::string_view text)
{
    if (!p.ok || p.program.empty())
        return false;
    Threads t{p.program, std::vector<std::uint32_t>(p.program.size(), 0), {}};
    std::vector<int> now, next;
    std::uint32_t gen = 1;
    for (std::size_t pos = 0;; pos++) {
        // A match may start at every byte.
        if (t.add(now, 0, pos, text.size(), gen))
            return true;
        if (pos == text.size())
            return false;
        const auto b = static_cast<unsigned char>(text[pos]);
        gen++;
        next.clear();
        for (int pc : now) {
            const kxpattern_op &op = p.program[static_cast<std::size_t>(pc)];
            const bool takes = op.code == ANY || (op.code == BYTE && op.byte == b) ||
                               (op.code == SET && set_has(p.sets[static_cast<std::size_t>(op.x)], b));
            if (takes && t.add(next, pc + 1, pos + 1, text.size(), gen))
                return true;
        }
        now.swap(next);
    }
}
