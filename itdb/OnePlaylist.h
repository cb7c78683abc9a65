#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One playlist: its name, whether it is the player's master list, and the ids of its member
// tracks in file order (duplicates and ids with no track kept as stored).
class OnePlaylist {
public:
    void SetName(std::u16string name) { Name = std::move(name); }
    void SetMaster(bool master) { Master = master; }
    const std::u16string& GetName() const { return Name; }
    bool IsMaster() const { return Master; }

    void AddItem(std::int32_t trackId) { Items.push_back(trackId); }
    int ItemCount() const { return static_cast<int>(Items.size()); }
    const std::vector<std::int32_t>& GetItems() const { return Items; }

    // Item cursor: NextItem may only be called while HasMoreItems is true.
    void RewindItems() { Cursor = 0; }
    bool HasMoreItems() const { return Cursor < Items.size(); }
    std::int32_t NextItem() { return Items[Cursor++]; }

private:
    std::u16string Name;
    bool Master = false;
    std::vector<std::int32_t> Items;
    std::size_t Cursor = 0;
};
