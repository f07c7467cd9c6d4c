#pragma once

#include <memory>
#include <string>

namespace gloam::render {

// An OpenGL 4.5 core context without any window, made through EGL's
// surfaceless platform (Mesa). Rendering goes into framebuffer objects.
// The context is current on the thread that created it until
// `release()` or `makeCurrent()` moves it.
class HeadlessContext {
public:
    // Throws std::runtime_error with the reason when no context can be made.
    HeadlessContext();
    ~HeadlessContext();
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    void makeCurrent();
    void release();

    // "OpenGL 4.5 (Core Profile) Mesa ... llvmpipe ..." for logs and tools.
    std::string description() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace gloam::render
