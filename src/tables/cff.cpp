#include "tables/cff.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_CID_H
#include FT_OUTLINE_H

#include <cstdio>
#include <new>

#include "tables/registry.h"

namespace {

// Box coordinates are taken at this many steps per font unit.
constexpr FT_Pos kBoxMagnification = 1 << 14;

// Rounding outward: floor of a minimum, ceiling of a maximum.
LONG floor_div(FT_Pos v, FT_Pos unit) {
    return static_cast<LONG>(v >= 0 ? v / unit : -((-v + unit - 1) / unit));
}
LONG ceil_div(FT_Pos v, FT_Pos unit) {
    return -floor_div(-v, unit);
}

// FreeType's own table of error messages (FT_Error_String is not compiled in on Debian).
struct freetype_message {
    int code;
    const char* text;
};
// clang-format off
#undef FTERRORS_H_
#define FT_ERRORDEF(e, v, s) {e, s},
#define FT_ERROR_START_LIST {
#define FT_ERROR_END_LIST {0, nullptr}};
const freetype_message kFreeTypeMessages[] =
#include FT_ERRORS_H
    // clang-format on

    std::string freetype_error(FT_Error code) {
    for (const freetype_message& m : kFreeTypeMessages)
        if (m.text && m.code == code) return m.text;
    char buf[32];
    std::snprintf(buf, sizeof buf, "FreeType error 0x%02x", static_cast<unsigned>(code));
    return buf;
}

struct library_deleter {
    void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
};
struct face_deleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};

}  // namespace

// The members are destroyed in reverse order: the face before its library, and both
// before the bytes the face reads.
struct cff_outlines::freetype {
    std::vector<BYTE> sfnt;
    std::unique_ptr<FT_LibraryRec_, library_deleter> library;
    std::unique_ptr<FT_FaceRec_, face_deleter> face;
};

cff_outlines::cff_outlines(std::unique_ptr<freetype> ft) : ft_(std::move(ft)) {}
cff_outlines::~cff_outlines() = default;

std::unique_ptr<cff_outlines> cff_outlines::open(std::vector<BYTE> sfnt, std::string& error) {
    auto ft = std::make_unique<freetype>();
    ft->sfnt = std::move(sfnt);
    FT_Library lib = nullptr;
    if (FT_Error e = FT_Init_FreeType(&lib)) {
        error = "cannot start FreeType: " + freetype_error(e);
        return nullptr;
    }
    ft->library.reset(lib);
    FT_Face face = nullptr;
    if (FT_Error e = FT_New_Memory_Face(lib, ft->sfnt.data(), static_cast<FT_Long>(ft->sfnt.size()),
                                        0, &face)) {
        error = "FreeType cannot read the font: " + freetype_error(e);
        return nullptr;
    }
    ft->face.reset(face);
    if (!FT_IS_SFNT(face) || !FT_IS_SCALABLE(face)) {
        error = "FreeType finds no scalable outlines in the font";
        return nullptr;
    }
    return std::unique_ptr<cff_outlines>(new cff_outlines(std::move(ft)));
}

std::size_t cff_outlines::glyph_count() const {
    return static_cast<std::size_t>(ft_->face->num_glyphs);
}

std::optional<glyph_box> cff_outlines::box(unsigned gid, std::string& error) {
    if (gid >= glyph_count()) {
        error = "glyph " + std::to_string(gid) + " is past the last glyph";
        return std::nullopt;
    }
    if (boxes_.empty()) boxes_.resize(glyph_count());
    if (boxes_[gid]) return boxes_[gid];
    FT_Face face = ft_->face.get();
    // Unscaled and unhinted: the outline is in font units. (FreeType's CFF loader gives
    // whole units here, the fractions some charstrings have being dropped, and scaling
    // the load does not bring them back: it scales the same whole-unit points.)
    const FT_Int32 flags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_IGNORE_TRANSFORM;
    if (FT_Error e = FT_Load_Glyph(face, gid, flags)) {
        error = "glyph " + std::to_string(gid) + ": " + freetype_error(e);
        return std::nullopt;
    }
    FT_Outline& outline = face->glyph->outline;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE || outline.n_points == 0)
        return boxes_[gid] = glyph_box{};
    // FT_Outline_Get_BBox finds curve extremes to within about one unit of the outline's
    // coordinates; magnified, that error is far below a font unit, so a curve that bulges
    // just past a whole unit is not rounded back onto it.
    FT_Matrix magnify{kBoxMagnification << 16, 0, 0, kBoxMagnification << 16};
    FT_Outline_Transform(&outline, &magnify);
    FT_BBox bbox;
    if (FT_Error e = FT_Outline_Get_BBox(&outline, &bbox)) {
        error = "glyph " + std::to_string(gid) + ": " + freetype_error(e);
        return std::nullopt;
    }
    const FT_Pos unit = kBoxMagnification;
    boxes_[gid] = glyph_box{floor_div(bbox.xMin, unit), floor_div(bbox.yMin, unit),
                            ceil_div(bbox.xMax, unit), ceil_div(bbox.yMax, unit)};
    return boxes_[gid];
}

namespace {

pen_point point_of(const FT_Vector* p) {
    return {static_cast<double>(p->x), static_cast<double>(p->y)};
}

// FT_Outline_Decompose callbacks. FreeType starts each contour with a move and does not
// close contours: a contour is closed when the next starts, and the last at the end.
struct decomposing {
    outline_pen& pen;
    bool drawing = false;  // a contour is open
};

int decompose_move(const FT_Vector* to, void* user) {
    auto& d = *static_cast<decomposing*>(user);
    if (d.drawing) d.pen.close();
    d.pen.move_to(point_of(to));
    d.drawing = true;
    return 0;
}
int decompose_line(const FT_Vector* to, void* user) {
    static_cast<decomposing*>(user)->pen.line_to(point_of(to));
    return 0;
}
int decompose_conic(const FT_Vector* control, const FT_Vector* to, void* user) {
    static_cast<decomposing*>(user)->pen.quad_to(point_of(control), point_of(to));
    return 0;
}
int decompose_cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    static_cast<decomposing*>(user)->pen.cubic_to(point_of(c1), point_of(c2), point_of(to));
    return 0;
}

}  // namespace

bool cff_outlines::draw(unsigned gid, outline_pen& pen) {
    if (gid >= glyph_count()) return false;
    FT_Face face = ft_->face.get();
    const FT_Int32 flags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_IGNORE_TRANSFORM;
    if (FT_Load_Glyph(face, gid, flags) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;
    const FT_Outline_Funcs funcs{
        decompose_move, decompose_line, decompose_conic, decompose_cubic, 0, 0};
    decomposing d{pen};
    if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &d) != 0) return false;
    if (d.drawing) pen.close();
    return true;
}

bool cff_outlines::has_glyph_names() const {
    return FT_HAS_GLYPH_NAMES(ft_->face.get()) || is_cid_keyed();
}

bool cff_outlines::is_cid_keyed() const {
    FT_Bool cid_keyed = 0;
    return FT_Get_CID_Is_Internally_CID_Keyed(ft_->face.get(), &cid_keyed) == 0 && cid_keyed;
}

std::optional<std::string> cff_outlines::name(unsigned gid) {
    if (gid >= glyph_count()) return std::nullopt;
    FT_Face face = ft_->face.get();
    if (FT_HAS_GLYPH_NAMES(face)) {
        char buf[256] = {};
        if (FT_Get_Glyph_Name(face, gid, buf, sizeof buf) != 0 || buf[0] == '\0')
            return std::nullopt;
        return std::string(buf);
    }
    // A CID-keyed font's charset gives CIDs, not names; glyphs are called by their CID,
    // as fontTools and other font tools call them.
    FT_UInt cid = 0;
    if (!is_cid_keyed() || FT_Get_CID_From_Glyph_Index(face, gid, &cid) != 0) return std::nullopt;
    if (gid == 0) return ".notdef";
    char buf[16];
    std::snprintf(buf, sizeof buf, "cid%05u", cid);
    return std::string(buf);
}

bool has_cff_outlines(const font_object& font) {
    return find_table_index(font, "CFF ") < font.table_dir.size() ||
           find_table_index(font, "CFF2") < font.table_dir.size();
}

std::unique_ptr<cff_outlines> do_cff(font_object& font) {
    std::string error;
    std::unique_ptr<cff_outlines> outlines;
    try {
        outlines = cff_outlines::open(
            std::vector<BYTE>(font.in_stream.contents().begin(), font.in_stream.contents().end()),
            error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (!outlines) say(*font.messages, "do_cff: %s: %s\n", font.font_path.c_str(), error.c_str());
    return outlines;
}

cff_outlines* cff_table(font_object& font) {
    const char* tag = find_table_index(font, "CFF ") < font.table_dir.size() ? "CFF " : "CFF2";
    return elab_as<cff_outlines>(font, tag);
}
