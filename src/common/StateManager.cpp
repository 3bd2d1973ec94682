#include "common/StateManager.hpp"

#include <cassert>
#include <cstring>
#include <limits>
#include <new>

StateManager::StateManager(unsigned int initialStackSize) : m_currentStackSize(initialStackSize) {
    assert(initialStackSize >= 1);
}

StateManager::~StateManager() {
    delete[] m_data;
}

// Whether a buffer of `slots` slots has a byte size that 32 bits can hold: a wrapped product
// would allocate less than the slots need.
bool StateManager::bufferFits(unsigned int slots) const {
    return slots <= std::numeric_limits<unsigned int>::max() / m_stateSize;
}

// Doubles the capacity. Before the buffer exists only the capacity changes; init() later
// allocates it at the new size. A failed allocation keeps the old buffer.
bool StateManager::grow() {
    const unsigned int newSize = m_currentStackSize * 2;
    if (newSize <= m_currentStackSize) {
        return false;
    }
    if (m_data == nullptr) {
        m_currentStackSize = newSize;
        return true;
    }
    if (!bufferFits(newSize)) {
        return false;
    }
    char* newData = new (std::nothrow) char[newSize * m_stateSize];
    if (newData == nullptr) {
        return false;
    }
    std::memcpy(newData, m_data, m_currentStackIndex * m_stateSize);
    delete[] m_data;
    m_data = newData;
    m_currentStackSize = newSize;
    return true;
}

int StateManager::pushState() {
    if (m_currentStackIndex == m_currentStackSize && !grow()) {
        return -1;
    }
    ++m_currentStackIndex;
    if (saveState()) {
        return static_cast<int>(m_currentStackIndex - 1);
    }
    --m_currentStackIndex;
    return -1;
}

bool StateManager::popState(bool apply) {
    return popN(1, apply);
}

bool StateManager::popN(unsigned int n, bool apply) {
    if (n == 0 || n > m_currentStackIndex) {
        return false;
    }
    if (apply && !loadState(static_cast<int>(m_currentStackIndex - n))) {
        return false;
    }
    m_currentStackIndex -= n;
    return true;
}

char* StateManager::getCurrentPointer(int index) const {
    if (m_data == nullptr && !init()) {
        return nullptr;
    }
    if (index == -1) {
        index = static_cast<int>(m_currentStackIndex) - 1;
    }
    if (index < 0 || static_cast<unsigned int>(index) >= m_currentStackIndex) {
        return nullptr;
    }
    return m_data + static_cast<unsigned int>(index) * m_stateSize;
}

void* StateManager::incPointer(void*& mem, std::size_t offset) {
    mem = static_cast<char*>(mem) + offset;
    return mem;
}

bool StateManager::init() const {
    if (m_data != nullptr) {
        return false;
    }
    m_stateSize = getStateSize();
    if (m_stateSize == 0 || !bufferFits(m_currentStackSize)) {
        return false;
    }
    m_data = new (std::nothrow) char[m_currentStackSize * m_stateSize];
    return m_data != nullptr;
}
