// A stack of fixed-size snapshots in one contiguous buffer. A derived class decides what a
// snapshot holds through three hooks; the stack lets a caller remember a state and return to it.
#pragma once

#include <cstddef>

class StateManager {
public:
    // The capacity, in slots, that the game starts with.
    static constexpr unsigned int DEFAULT_STACK_SIZE = 50;

    // The buffer is created on the first snapshot access, not here; the capacity must be >= 1.
    explicit StateManager(unsigned int initialStackSize);
    StateManager(const StateManager&) = delete;
    StateManager& operator=(const StateManager&) = delete;
    virtual ~StateManager();

    // Copies slot `index` (-1 = the top slot) back into the live object.
    virtual bool loadState(int index) = 0;

    int getCurrentIndex() const { return static_cast<int>(m_currentStackIndex); }
    // Pushes a snapshot of the live state; the new slot's index, or -1 when it failed.
    int pushState();
    // Removes the top slot; with `apply` the live object is restored from it first.
    bool popState(bool apply);
    // Removes the top `n` slots; with `apply` the live object returns to the lowest of them.
    bool popN(unsigned int n, bool apply);

protected:
    // Copies the live state into the top slot.
    virtual bool saveState() = 0;
    // Bytes of one slot.
    virtual unsigned int getStateSize() const = 0;

    // Address of slot `index` (-1 = top slot); null when the buffer cannot be created or the
    // slot is not in use.
    char* getCurrentPointer(int index) const;
    // Advances `mem` past one block of a slot and returns the new address.
    static void* incPointer(void*& mem, std::size_t offset);

private:
    bool init() const;
    bool bufferFits(unsigned int slots) const;
    bool grow();

    unsigned int m_currentStackSize;
    unsigned int m_currentStackIndex = 0;
    // The buffer is a lazily created cache of the slots; a const lookup may create it.
    mutable unsigned int m_stateSize = 0;
    mutable char* m_data = nullptr;
};
