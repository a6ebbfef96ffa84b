#pragma once
// Base object and the owning-by-convention pointer array the engine keeps its hunks in.

#include <cstddef>
#include <vector>

class CObject {
public:
    virtual ~CObject() = default;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

// Array of CObject pointers. It does not own what it points to; the container that
// fills it decides when the objects die.
class CObArray {
public:
    CObArray() = default;
    CObArray(const CObArray&) = delete;
    CObArray& operator=(const CObArray&) = delete;

    // newSize entries (new ones null); growBy > 0 sets the smallest growth step.
    void SetSize(std::size_t newSize, std::size_t growBy = 0);
    std::size_t GetSize() const { return m_data.size(); }
    std::size_t GetGrowBy() const { return m_growBy; }
    CObject* GetAt(std::size_t index) const { return m_data.at(index); }
    CObject* operator[](std::size_t index) const { return GetAt(index); }
    std::size_t Add(CObject* object);
    void RemoveAll() { m_data.clear(); }

private:
    std::vector<CObject*> m_data;
    std::size_t m_growBy = 0;
};
