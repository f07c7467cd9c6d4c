#pragma once

namespace gloam::render {

// What a host gives the render thread to draw into: a GL context made
// current on the render thread, a framebuffer to present into and a swap.
// The host implements it with its windowing toolkit (Qt, EGL); the render
// thread calls every member from the render thread only, except
// `pixelWidth`, `pixelHeight` and `devicePixelRatio`, which must be safe
// from any thread.
class RenderSurface {
public:
    virtual ~RenderSurface() = default;

    // Takes the context on the calling thread (the render thread).
    virtual void makeCurrent() = 0;
    virtual void doneCurrent() = 0;
    // Shows the frame; may wait for the display's refresh.
    virtual void swapBuffers() = 0;
    virtual unsigned framebuffer() const = 0;
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    virtual float devicePixelRatio() const = 0;
    // False while there is nothing to show into (window hidden or closed).
    virtual bool isExposed() const = 0;
};

} // namespace gloam::render
