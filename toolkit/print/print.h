// PostScript and PDF page output.  A page job writes PostScript into a
// temporary file; a ".ps" target receives a copy of it, a ".pdf" target what
// the converter makes of it.  The converter reads exactly the lines that the
// page job writes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "graphics/pixmap.h"

// Paper codes of the page keys ("a4", "letter", ...).
enum : int {
    KX_PAPER_NONE = 0,
    KX_PAPER_A4 = 1,
    KX_PAPER_A3 = 2,
    KX_PAPER_A2 = 3,
    KX_PAPER_A1 = 4,
    KX_PAPER_A0 = 5,
    KX_PAPER_A5 = 6,
    KX_PAPER_A6 = 7,
    KX_PAPER_A7 = 8,
    KX_PAPER_A8 = 9,
    KX_PAPER_A9 = 10,
    KX_PAPER_LETTER = 11,
    KX_PAPER_LEGAL = 12,
};

constexpr int KX_PS_DEFAULT_DPI = 300;
// Resolutions outside 1..KX_PS_MAX_DPI fall back to the default.
constexpr int KX_PS_MAX_DPI = 10000;
constexpr int KX_PS_DEFAULT_FONT_SIZE = 12;
constexpr int KX_PS_MAX_FONT_SIZE = 1000;
// Longest line the converter reads at once; longer lines come in pieces.
constexpr std::size_t KX_PDF_LINE = 65536;
// More pages than this are refused rather than given thousands of objects.
constexpr int KX_PDF_MAX_PAGES = 10000;

// One page job: open, put images and text, finish at one or more targets,
// close.  The destructor closes a job that is still open.
struct kxPostScript {
    int xdpi = KX_PS_DEFAULT_DPI, ydpi = KX_PS_DEFAULT_DPI;
    int paper = KX_PAPER_NONE;
    bool landscape = false;
    double width_in = 0.0, height_in = 0.0;  // swapped for landscape
    double xscale = 0.0, yscale = 0.0;       // pixels per point
    int device_width = 0, device_height = 0;
    double width_pt = 0.0, height_pt = 0.0;
    double top = 0.0, bottom = 0.0, left = 0.0, right = 0.0;  // borders, points
    bool truecolor = false;  // 8 bits per component in PDF images, else 4
    std::string temp_path;
    std::FILE *stream = nullptr;
    std::string font_name = "Helvetica";
    int font_size = KX_PS_DEFAULT_FONT_SIZE;
    bool open = false;

    kxPostScript() = default;
    ~kxPostScript();
    kxPostScript(const kxPostScript &) = delete;
    kxPostScript &operator=(const kxPostScript &) = delete;
};

// Paper size in points (portrait) of a paper code; false for an unknown code.
bool kxps_papersize(int paper, int *width_pt, int *height_pt);

// Opens the job on a new temporary file.  options is a printf-style
// attribute string of page keys ("dpi=", "a4", "landscape", "truecolor",
// "leftborder=", ...).  False when the temporary file cannot be made; the
// job then stays closed.  An open job is closed first.
bool kxps_open(kxPostScript *job, const char *options, ...)
    __attribute__((format(printf, 2, 3)));

// Places the pixmap from pixel (xoffset, yoffset) on, its top-left corner x
// points right of the left border and y points below the top border.  The
// column count is made even (see the converter's 4-bit images).  False when
// nothing was placed (closed job, nothing left of the pixmap, a format that
// cannot be read).
bool kxps_putimage(kxPostScript *job, const kxpxmap *p, double x, double y, int xoffset,
                   int yoffset);
// The same as an 8-bit grey image.
bool kxps_putgreyimage(kxPostScript *job, const kxpxmap *p, double x, double y, int xoffset,
                       int yoffset);

// Text in the page's coordinates (points from the top-left corner inside the
// borders; y is the baseline).  Bytes 160..255 print as ISO 8859-1.
// setfont takes a PostScript font name ("Helvetica", "Courier-Bold", ...).
bool kxps_setfont(kxPostScript *job, const char *name, int size);
bool kxps_moveto(kxPostScript *job, double x, double y);
bool kxps_text(kxPostScript *job, const char *text);
bool kxps_setcolor(kxPostScript *job, int colour);
// Width in points of text in the job's current font, measured with the
// page-output metric fonts (Arial for the sans and serif faces, crnew for
// Courier, their bold forms for bold faces).
double kxps_textwidth(const kxPostScript *job, const char *text);

// Completes the document at target: a ".ps" file (a directory receives it
// under the temporary file's name) or a ".pdf" file.  The job stays open, so
// more may be added and finished again.  A target is replaced only by a
// complete file.
bool kxps_finish(kxPostScript *job, const char *target);
// Ends the job and deletes its temporary file.
void kxps_close(kxPostScript *job);

// Converts a PostScript file of the page job to PDF 1.0, with 8 bits per
// colour component when truecolor is set and 4 otherwise.  False (after a
// one-line diagnostic for files that are not the page job's) when the input
// cannot be read or converted or the output cannot be written; the target is
// then left as it was.
bool kxpdf_convertps(const char *ps_path, const char *pdf_path, bool truecolor = false);

// Puts the pixmap on a page and writes it to target, a ".ps" or ".pdf" file.
// attributes are the page settings and the placement ("x=", "y=",
// "xoffset=", "yoffset=", "dpi=", ...).  True when the file was written.
bool kxps_savepixmap(const kxpxmap *p, const char *target, const char *attributes);
