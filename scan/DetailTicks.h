#pragma once

#include <array>
#include <cstdint>

namespace quillmap {

class ScanControls;

// Which of the twelve items of the options list are ticked, by index 1 to 12.
struct DetailTicks
{
    enum Item
    {
        All = 1,
        Archive,
        Compressed,
        Hidden,
        Normal,
        ReadOnly,
        System,
        DateCreated,
        DateLastAccessed,
        DateLastModified,
        Type,
        Size,
    };
    static constexpr int kCount = 12;

    std::uint16_t bits = 0; // bit i set: item i ticked

    bool ticked(int item) const { return bits & (1u << item); }
    void set(int item, bool on)
    {
        if (on)
            bits |= std::uint16_t(1u << item);
        else
            bits &= std::uint16_t(~(1u << item));
    }
    bool any() const { return bits != 0; }

    // All twelve ticked, as the "ALL" item leaves them.
    static DetailTicks all()
    {
        DetailTicks t;
        for (int i = 1; i <= kCount; ++i)
            t.set(i, true);
        return t;
    }
    // The ticks as the controls show them now.
    static DetailTicks read(const ScanControls& controls);
};

// The items of the options list, index 1 first: the key and text the window shows them with;
// quillmap_list names them by their text in lower case with "-" for " ".
struct DetailItem
{
    const char* key;
    const char* text;
};
inline constexpr std::array<DetailItem, DetailTicks::kCount> kDetailItems = {{
    {"a", "ALL"},
    {"b", "Archive"},
    {"c", "Compressed"},
    {"d", "Hidden"},
    {"e", "Normal"},
    {"f", "ReadOnly"},
    {"g", "System"},
    {"h", "Date Created"},
    {"i", "Date Last Accessed"},
    {"j", "Date Last Modified"},
    {"k", "Type"},
    {"l", "Size"},
}};

} // namespace quillmap
