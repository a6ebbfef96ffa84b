#include "framework/object.h"

#include <algorithm>

void CObArray::SetSize(std::size_t newSize, std::size_t growBy)
{
    if (growBy > 0)
        m_growBy = growBy;
    m_data.resize(newSize, nullptr);
}

std::size_t CObArray::Add(CObject* object)
{
    if (m_data.size() == m_data.capacity()) {
        // The growth step is a floor: growing by a fixed step alone would make
        // filling the array quadratic in its size.
        std::size_t step = std::max(m_growBy, m_data.size() / 2);
        m_data.reserve(m_data.size() + std::max<std::size_t>(step, 1));
    }
    m_data.push_back(object);
    return m_data.size() - 1;
}
