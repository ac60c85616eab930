#include "sim/abi/Faults.h"

#include <algorithm>

namespace kobalt::sim {
namespace {

std::size_t Index(Api api) {
    return static_cast<std::size_t>(api);
}

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

void Faults::FailAlways(Api api) {
    std::lock_guard lock(m_mutex);
    m_rules[Index(api)].always = true;
}

void Faults::FailNext(Api api, uint32_t count) {
    std::lock_guard lock(m_mutex);
    m_rules[Index(api)].next = count;
}

void Faults::Clear(Api api) {
    std::lock_guard lock(m_mutex);
    m_rules[Index(api)] = Rule{};
}

bool Faults::ShouldFail(Api api) {
    std::lock_guard lock(m_mutex);
    Rule& rule = m_rules[Index(api)];
    if (rule.always) {
        return true;
    }
    if (rule.next > 0) {
        --rule.next;
        return true;
    }
    return false;
}

std::vector<Faults::Pending> Faults::InForce() const {
    std::lock_guard lock(m_mutex);
    std::vector<Pending> pending;
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        if (m_rules[i].always || m_rules[i].next > 0) {
            pending.push_back({static_cast<Api>(i), m_rules[i].always, m_rules[i].next});
        }
    }
    return pending;
}

std::vector<std::string> Faults::FailAlwaysFromList(std::string_view list) {
    std::vector<std::string> unknown;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view name = TrimBlanks(list.substr(0, comma));
        if (!name.empty()) {
            if (const auto api = FindApi(name)) {
                FailAlways(*api);
            } else if (std::find(unknown.begin(), unknown.end(), name) == unknown.end()) {
                unknown.emplace_back(name);
            }
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return unknown;
}

} // namespace kobalt::sim
