// SPDX-License-Identifier: MIT
#pragma once
// Functions told of an event, in the order they were added; each can be
// removed by the key it was added with (a window that closes).

#include <functional>
#include <map>

namespace q2 {

template <typename... Args>
class Listeners {
public:
    using Listener = std::function<void(Args...)>;
    int Add(Listener listener) {
        m_listeners.emplace(m_nextKey, std::move(listener));
        return m_nextKey++;
    }
    void Remove(int key) { m_listeners.erase(key); }
    void Tell(Args... args) const {
        for (const auto& [key, listener] : m_listeners) listener(args...);
    }

private:
    std::map<int, Listener> m_listeners;
    int m_nextKey = 0;
};

} // namespace q2
