#include "sim/phone/TextPool.h"

namespace kobalt::sim {

const char* TextPool::Intern(std::string_view text) {
    auto it = m_texts.find(text);
    if (it == m_texts.end()) {
        it = m_texts.emplace(text).first;
    }
    return it->c_str();
}

} // namespace kobalt::sim
