#pragma once

// The short sound a script's beep plays. Main thread. The sound is made
// once, on first use; without a sound player on the system it stays silent.
class MUDBeepSound {
public:
    static void play();
};
