#include "platform/handle.h"

#include <mutex>
#include <vector>

namespace platform {

namespace {

static_assert(sizeof(std::uintptr_t) >= 8, "handles carry a 32-bit slot number and a 32-bit generation");

struct Slot {
    std::uint32_t generation = 0;
    std::shared_ptr<HandleObject> object;
};

class HandleTable {
public:
    Handle add(std::shared_ptr<HandleObject> object)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.emplace_back();
        }
        Slot& slot = slots_[index];
        slot.object = std::move(object);
        return encode(index, slot.generation);
    }

    std::shared_ptr<HandleObject> find(Handle h)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* slot = slotOf(h);
        return slot ? slot->object : nullptr;
    }

    std::shared_ptr<HandleObject> remove(Handle h)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* slot = slotOf(h);
        if (slot == nullptr)
            return nullptr;
        // A new generation makes every copy of the old handle stale.
        ++slot->generation;
        free_.push_back(static_cast<std::uint32_t>(slot - slots_.data()));
        return std::move(slot->object);
    }

private:
    // Slot numbers start at 1 so that no handle is null; the generation stays
    // below 2^32 - 1 in the high half so that none is all bits set.
    static Handle encode(std::uint32_t index, std::uint32_t generation)
    {
        const std::uintptr_t value = (std::uintptr_t{generation & 0x7FFFFFFFu} << 32) | (std::uintptr_t{index} + 1);
        return reinterpret_cast<Handle>(value);
    }

    Slot* slotOf(Handle h)
    {
        const auto value = reinterpret_cast<std::uintptr_t>(h);
        const std::uintptr_t number = value & 0xFFFFFFFFu;
        if (number == 0 || number > slots_.size())
            return nullptr;
        Slot& slot = slots_[number - 1];
        if (!slot.object || (value >> 32) != (slot.generation & 0x7FFFFFFFu))
            return nullptr;
        return &slot;
    }

    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
};

HandleTable& table()
{
    static HandleTable* instance = new HandleTable;  // outlives every static object that closes a handle
    return *instance;
}

}  // namespace

Handle registerHandle(std::shared_ptr<HandleObject> object)
{
    if (!object)
        return invalidHandle();
    return table().add(std::move(object));
}

std::shared_ptr<HandleObject> lookupHandle(Handle h)
{
    if (!isUsableHandle(h))
        return nullptr;
    return table().find(h);
}

bool closeHandle(Handle h)
{
    if (!isUsableHandle(h))
        return false;
    // The object ends here unless a call on another thread still holds it;
    // then it ends when that call returns. It is released outside the table's
    // lock, since closing a port may take a while.
    std::shared_ptr<HandleObject> object = table().remove(h);
    return object != nullptr;
}

}  // namespace platform
