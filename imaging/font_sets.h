// Font sets: which fonts each kind of card field is drawn with.
#pragma once

#include "imaging/text_item.h"

// The eight font operations; each overwrites both fonts of the item and nothing else.
class CIdCardFont {
public:
    virtual void ApplyNameFont(TextItem& item) = 0;
    virtual void ApplyFieldFont(TextItem& item) = 0;
    virtual void ApplyIdNumberFont(TextItem& item) = 0;
    virtual void ApplyValidityFont(TextItem& item) = 0;
    virtual void ApplyForeignNameFont(TextItem& item) = 0;
    virtual void ApplyForeignFieldFont(TextItem& item) = 0;
    virtual void ApplyForeignNumberFont(TextItem& item) = 0;
    virtual void ApplyForeignDateFont(TextItem& item) = 0;

protected:
    ~CIdCardFont() = default;
};

// System typefaces only, for when the embedded fonts could not be registered.
class CIdCardFont_Base : public CIdCardFont {
public:
    void ApplyNameFont(TextItem& item) override;
    void ApplyFieldFont(TextItem& item) override;
    void ApplyIdNumberFont(TextItem& item) override;
    void ApplyValidityFont(TextItem& item) override;
    void ApplyForeignNameFont(TextItem& item) override;
    void ApplyForeignFieldFont(TextItem& item) override;
    void ApplyForeignNumberFont(TextItem& item) override;
    void ApplyForeignDateFont(TextItem& item) override;
};

// The embedded numbers and Chinese fonts beside system typefaces.
class CIdCardFont_Ex : public CIdCardFont {
public:
    void ApplyNameFont(TextItem& item) override;
    void ApplyFieldFont(TextItem& item) override;
    void ApplyIdNumberFont(TextItem& item) override;
    void ApplyValidityFont(TextItem& item) override;
    void ApplyForeignNameFont(TextItem& item) override;
    void ApplyForeignFieldFont(TextItem& item) override;
    void ApplyForeignNumberFont(TextItem& item) override;
    void ApplyForeignDateFont(TextItem& item) override;
};
