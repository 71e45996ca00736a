// The graphics device object. One instance for the process, made at start-up
// by CreateEngineServices through CreateGraphics and reached through
// GetGraphics. Its device operations are added with the graphics device.
#pragma once

class CQVGraphics {
public:
    CQVGraphics() = default;
    CQVGraphics(const CQVGraphics&) = delete;
    CQVGraphics& operator=(const CQVGraphics&) = delete;
    ~CQVGraphics() = default;
};

// Creates the graphics object when none exists; a second call keeps it.
// Answers 1, or 0 when it cannot be made.
int CreateGraphics();

// The graphics object, null before CreateGraphics.
CQVGraphics* GetGraphics();
