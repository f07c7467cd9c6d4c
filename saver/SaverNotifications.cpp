#include "saver/SaverNotifications.h"

#include <vector>

namespace gloam::saver {

SaverNotifications::Token SaverNotifications::observeSession(SessionObserver observer)
{
    const Token token = next_++;
    session_.emplace(token, std::move(observer));
    return token;
}

SaverNotifications::Token SaverNotifications::observeDisplay(DisplayObserver observer)
{
    const Token token = next_++;
    display_.emplace(token, std::move(observer));
    return token;
}

void SaverNotifications::remove(Token token)
{
    session_.erase(token);
    display_.erase(token);
}

void SaverNotifications::postSession(const std::string& name, bool started)
{
    std::vector<Token> tokens;
    for (const auto& entry : session_) {
        tokens.push_back(entry.first);
    }
    for (const Token token : tokens) {
        // Looked up again: an earlier observer may have removed this one.
        const auto found = session_.find(token);
        if (found != session_.end()) {
            const SessionObserver observer = found->second;
            observer(name, started);
        }
    }
}

void SaverNotifications::postDisplay(bool asleep)
{
    std::vector<Token> tokens;
    for (const auto& entry : display_) {
        tokens.push_back(entry.first);
    }
    for (const Token token : tokens) {
        const auto found = display_.find(token);
        if (found != display_.end()) {
            const DisplayObserver observer = found->second;
            observer(asleep);
        }
    }
}

} // namespace gloam::saver
