#pragma once

#include <functional>
#include <map>
#include <string>

namespace gloam::saver {

// The process's notification centre for what happens around the saver
// views: the screen-saver session starting and stopping, and the displays
// (or the whole system) going to sleep and waking. The host's event
// sources post here; every saver view observes it.
class SaverNotifications {
public:
    // `name` is the event's name as the source calls it ("BLANK", "LOCK",
    // "UNBLANK"); `started` says whether the session began or ends.
    using SessionObserver = std::function<void(const std::string& name, bool started)>;
    using DisplayObserver = std::function<void(bool asleep)>;
    using Token = int;

    Token observeSession(SessionObserver observer);
    Token observeDisplay(DisplayObserver observer);
    void remove(Token token);

    // Delivered to every observer registered now, in registration order.
    // An observer may remove itself or others while it runs.
    void postSession(const std::string& name, bool started);
    void postDisplay(bool asleep);

    std::size_t observerCount() const { return session_.size() + display_.size(); }

private:
    Token next_ = 1;
    std::map<Token, SessionObserver> session_;
    std::map<Token, DisplayObserver> display_;
};

} // namespace gloam::saver
