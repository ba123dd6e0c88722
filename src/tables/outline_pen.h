// The receiver of a glyph outline walk, in font units with y up: each contour is a move,
// then lines and quadratic or cubic curves, then a close (fontTools' pen protocol).
// glyf outlines give quadratic curves, with the on-curve points that two off-curve
// neighbours imply (so coordinates may be halves); CFF outlines give cubic ones.
#pragma once

struct pen_point {
    double x = 0;
    double y = 0;
};

class outline_pen {
  public:
    virtual ~outline_pen() = default;
    virtual void move_to(pen_point to) = 0;
    virtual void line_to(pen_point to) = 0;
    virtual void quad_to(pen_point control, pen_point to) = 0;
    virtual void cubic_to(pen_point control1, pen_point control2, pen_point to) = 0;
    virtual void close() = 0;
};
