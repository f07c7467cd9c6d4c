#pragma once

namespace gloam {

// The opening title sequence's clock and the easing curves read from it.
struct OpeningTiming {
    static constexpr double duration = 15.4;

    double time = 0;
    bool playing = false;

    void start();
    void skip();
    void advance(double delta);

    // Smoothstep of x clamped to [0, 1].
    static float ease(double x);
    // The opening's camera pan, 9.8 s to 12.4 s.
    static float pan(double t);
    // The fade from the opening into the scene, 14.15 s to 15.4 s.
    static float dissolve(double t);
    // The same fade for viewers who reduce flashing: a steady ramp from the
    // end of the pan, 12.4 s, to the same end, so that the step from the
    // dark picture to the lit scene spreads over three seconds.
    static float gentleDissolve(double t);
    // One of the two.
    static float dissolve(double t, bool gentle) { return gentle ? gentleDissolve(t) : dissolve(t); }
    // The title: fully visible until 6.1 s, gone at 7.5 s.
    static float titleOpacity(double t);
};

} // namespace gloam
