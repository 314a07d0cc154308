// Font sets: which fonts each kind of card field is drawn with.
#pragma once

#include "imaging/text/text_item.h"

namespace vorn {

// The fonts of the eight font operations of one set, defined beside the sets.
struct FontSetTable;

// The eight font operations; each overwrites both fonts of the item and nothing else. The
// sets differ only in their tables.
class CIdCardFont {
public:
    void ApplyNameFont(TextItem& item);
    void ApplyFieldFont(TextItem& item);
    void ApplyIdNumberFont(TextItem& item);
    void ApplyValidityFont(TextItem& item);
    void ApplyForeignNameFont(TextItem& item);
    void ApplyForeignFieldFont(TextItem& item);
    void ApplyForeignNumberFont(TextItem& item);
    void ApplyForeignDateFont(TextItem& item);

protected:
    explicit CIdCardFont(const FontSetTable& table) : table_(table) {}
    ~CIdCardFont() = default;

private:
    const FontSetTable& table_;
};

// System typefaces only, for when the embedded fonts could not be registered.
class CIdCardFont_Base : public CIdCardFont {
public:
    CIdCardFont_Base();
};

// The embedded numbers and Chinese fonts beside system typefaces.
class CIdCardFont_Ex : public CIdCardFont {
public:
    CIdCardFont_Ex();
};

}  // namespace vorn
