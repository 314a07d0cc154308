#include "imaging/text/font_library_posix.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

#include "imaging/text/text_item.h"
#include "platform/ascii_text.h"
#include "platform/graphics_handles_posix.h"

namespace vorn {

namespace {

constexpr std::uint8_t kCharsetBig5 = 136;
constexpr int kBoldFrom = 600;

// What a Cairo font face keeps alive: its FreeType face and, for a font from memory, the
// bytes FreeType reads from.
struct FaceOwner {
    // Declared after the bytes so that the face goes before the bytes it reads.
    std::vector<unsigned char> bytes;
    FreeTypeFace face;
    FaceOwner();
    ~FaceOwner();
};

const cairo_user_data_key_t kOwnerKey{};

// How many FaceRef holders exist. Cairo's font caches may only be emptied when none does,
// since emptying them frees what a live face still points to.
std::atomic<int> g_live_faces{0};
// How many FreeType faces are open.
std::atomic<int> g_open_faces{0};

FaceOwner::FaceOwner() {
    ++g_open_faces;
}

FaceOwner::~FaceOwner() {
    face.reset();
    --g_open_faces;
}

void DestroyOwner(void* owner) {
    delete static_cast<FaceOwner*>(owner);
}

// The FreeType library lives as long as the process: the faces made from it may be kept
// in Cairo's caches until the very end.
FT_Library Library() {
    static FT_Library library = [] {
        FT_Library created = nullptr;
        if (FT_Init_FreeType(&created) != 0) {
            return static_cast<FT_Library>(nullptr);
        }
        return created;
    }();
    return library;
}

// Wraps a FreeType face into a Cairo face that owns it. The new face's one reference goes
// into the returned FaceRef.
FaceRef MakeFace(std::unique_ptr<FaceOwner> owner) {
    const CairoFontFace face(cairo_ft_font_face_create_for_ft_face(owner->face.get(), 0));
    if (cairo_font_face_status(face.get()) != CAIRO_STATUS_SUCCESS ||
        cairo_font_face_set_user_data(face.get(), &kOwnerKey, owner.get(), DestroyOwner) !=
            CAIRO_STATUS_SUCCESS) {
        return {};
    }
    // The Cairo face owns the FreeType face from now on and frees it with its last reference.
    FT_Face ft_face = owner.release()->face.get();
    return FaceRef(face.get(), ft_face);
}

FaceRef OpenFile(const std::string& file, int index) {
    FT_Library library = Library();
    FT_Face opened = nullptr;
    if (library == nullptr || FT_New_Face(library, file.c_str(), index, &opened) != 0) {
        return {};
    }
    auto owner = std::make_unique<FaceOwner>();
    owner->face.reset(opened);
    return MakeFace(std::move(owner));
}

// A privately registered font: its family name and face.
struct MemoryFont {
    std::string family;
    FaceRef face;
};

// The registry is never destroyed, as before it held owners: a resource set that goes at exit,
// after the registry would have, still removes its fonts from it.
std::vector<std::unique_ptr<MemoryFont>>& MemoryFonts() {
    static auto& fonts = *new std::vector<std::unique_ptr<MemoryFont>>;
    return fonts;
}

// System faces are opened once per file and face index within a request, and matches are
// remembered until ReleaseFontCaches; a request draws many characters of few faces.
std::map<std::pair<std::string, int>, FaceRef>& OpenFiles() {
    static std::map<std::pair<std::string, int>, FaceRef> files;
    return files;
}

std::map<std::pair<char32_t, int>, FaceRef>& FallbackFaces() {
    static std::map<std::pair<char32_t, int>, FaceRef> faces;
    return faces;
}

bool FontconfigReady() {
    static const bool ready = [] {
        if (FcInit() != FcTrue) {
            return false;
        }
        // Fontconfig keeps its configuration until told to let go; at exit it is, so that
        // leak checkers see only what the program itself failed to free.
        std::atexit(FcFini);
        return true;
    }();
    return ready;
}

const char* LanguageOf(int char_set) {
    if (char_set == kCharsetGb2312) {
        return "zh-cn";
    }
    if (char_set == kCharsetBig5) {
        return "zh-tw";
    }
    return nullptr;
}

// Runs fontconfig's matching on a pattern and opens the face it names.
FaceChoice MatchPattern(FcPattern* pattern, bool want_bold) {
    FaceChoice choice;
    if (!FontconfigReady()) {
        return choice;
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    const FontPattern matched(FcFontMatch(nullptr, pattern, &result));
    if (!matched) {
        return choice;
    }
    FcPattern* match = matched.get();
    FcChar8* file = nullptr;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        const std::string path(reinterpret_cast<const char*>(file));
        auto& files = OpenFiles();
        auto found = files.find({path, index});
        if (found == files.end()) {
            found = files.emplace(std::make_pair(path, index), OpenFile(path, index)).first;
        }
        choice.face = found->second;
        choice.synthetic_bold = want_bold && weight < FC_WEIGHT_DEMIBOLD;
    }
    return choice;
}

}  // namespace

FaceRef::FaceRef() {
    ++g_live_faces;
}

FaceRef::FaceRef(cairo_font_face_t* face, FT_Face ft_face)
    : face_(cairo_font_face_reference(face)), ft_face_(ft_face) {
    ++g_live_faces;
}

FaceRef::~FaceRef() {
    // The reference goes before the count says so, or the caches could be emptied under it.
    face_.reset();
    --g_live_faces;
}

FaceRef::FaceRef(const FaceRef& other)
    : face_(cairo_font_face_reference(other.face_.get())), ft_face_(other.ft_face_) {
    ++g_live_faces;
}

FaceRef& FaceRef::operator=(const FaceRef& other) {
    if (this != &other) {
        face_.reset(cairo_font_face_reference(other.face_.get()));
        ft_face_ = other.ft_face_;
    }
    return *this;
}

bool FaceRef::HasGlyph(char32_t character) const {
    return ft_face_ != nullptr && FT_Get_Char_Index(ft_face_, character) != 0;
}

namespace {

// The Windows ascent and descent in font units, which GDI's cell height is made of.
std::pair<double, double> CellMetrics(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
        return {os2->usWinAscent, os2->usWinDescent};
    }
    return {face->ascender, -face->descender};
}

}  // namespace

double FaceRef::EmForCellHeight(int cell_height) const {
    if (ft_face_ == nullptr) {
        return cell_height;
    }
    const auto [ascent, descent] = CellMetrics(ft_face_);
    if (ascent + descent <= 0) {
        return cell_height;
    }
    return cell_height * ft_face_->units_per_EM / (ascent + descent);
}

double FaceRef::AscentForCellHeight(int cell_height) const {
    if (ft_face_ == nullptr) {
        return cell_height * 0.8;
    }
    const auto [ascent, descent] = CellMetrics(ft_face_);
    if (ascent + descent <= 0) {
        return cell_height * 0.8;
    }
    return cell_height * ascent / (ascent + descent);
}

void* AddMemoryFont(const unsigned char* data, std::size_t size, bool copy) {
    FT_Library library = Library();
    if (library == nullptr || data == nullptr || size == 0) {
        return nullptr;
    }
    auto owner = std::make_unique<FaceOwner>();
    if (copy) {
        owner->bytes.assign(data, data + size);
        data = owner->bytes.data();
    }
    FT_Face opened = nullptr;
    if (FT_New_Memory_Face(library, data, static_cast<FT_Long>(size), 0, &opened) != 0) {
        return nullptr;
    }
    owner->face.reset(opened);
    if (owner->face.get()->family_name == nullptr || !FT_IS_SCALABLE(owner->face.get())) {
        return nullptr;
    }
    auto font = std::make_unique<MemoryFont>();
    font->family = owner->face.get()->family_name;
    font->face = MakeFace(std::move(owner));
    if (!font->face) {
        return nullptr;
    }
    MemoryFont* handle = font.get();
    MemoryFonts().push_back(std::move(font));
    return handle;
}

void RemoveMemoryFont(void* handle) {
    auto& fonts = MemoryFonts();
    for (auto it = fonts.begin(); it != fonts.end(); ++it) {
        if (it->get() == handle) {
            fonts.erase(it);
            return;
        }
    }
}

bool SystemHasFamily(const std::string& family) {
    static std::map<std::string, bool> known;
    if (const auto it = known.find(family); it != known.end()) {
        return it->second;
    }
    bool found = false;
    if (FontconfigReady()) {
        const FontPattern pattern(FcPatternCreate());
        const FontObjectSet objects(FcObjectSetBuild(FC_FAMILY, nullptr));
        if (pattern && objects) {
            FcPatternAddString(pattern.get(), FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(family.c_str()));
            const FontSet fonts(FcFontList(nullptr, pattern.get(), objects.get()));
            found = fonts && fonts.get()->nfont > 0;
        }
    }
    known.emplace(family, found);
    return found;
}

FaceChoice MatchFace(const std::string& family, int weight, int char_set) {
    const bool want_bold = weight >= kBoldFrom;
    // The newest registration of a family wins, as a later font of the same name would.
    const auto& fonts = MemoryFonts();
    for (auto it = fonts.rbegin(); it != fonts.rend(); ++it) {
        if (SameAsciiWord((*it)->family, family)) {
            return FaceChoice{(*it)->face, want_bold};
        }
    }
    const FontPattern owned(FcPatternCreate());
    if (!owned) {
        return {};
    }
    FcPattern* pattern = owned.get();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : 400));
    if (const char* language = LanguageOf(char_set)) {
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
    }
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    return MatchPattern(pattern, want_bold);
}

FaceRef FallbackFace(char32_t character, int char_set) {
    for (const auto& font : MemoryFonts()) {
        if (font->face.HasGlyph(character)) {
            return font->face;
        }
    }
    auto& found = FallbackFaces();
    if (const auto it = found.find({character, char_set}); it != found.end()) {
        return it->second;
    }
    FaceRef face;
    const FontPattern pattern(FcPatternCreate());
    const FontCharacterSet characters(FcCharSetCreate());
    if (pattern && characters && FcCharSetAddChar(characters.get(), character)) {
        FcPatternAddCharSet(pattern.get(), FC_CHARSET, characters.get());
        if (const char* language = LanguageOf(char_set)) {
            FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>(language));
        }
        FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
        FaceChoice choice = MatchPattern(pattern.get(), false);
        if (choice.face.HasGlyph(character)) {
            face = choice.face;
        }
    }
    found.emplace(std::make_pair(character, char_set), face);
    return face;
}

bool ReleaseFontCaches() {
    OpenFiles().clear();
    FallbackFaces().clear();
    if (g_live_faces.load() != 0) {
        return false;
    }
    // Cairo keeps recently used scaled fonts after their last release, and each keeps its
    // font face, FreeType face and font bytes alive. The faces of a request are never used
    // again once it ends, so without this every request would leave its fonts behind until
    // the cache's 256 places had turned over.
    cairo_debug_reset_static_data();
    return true;
}

void WarmUpFontMatching() {
    FontconfigReady();
}

int OpenFontFaces() {
    return g_open_faces.load();
}

}  // namespace vorn
