#pragma once

// Tells the desktop that the program is busy on the network. Showing is
// counted, so overlapping users keep it visible until the last one hides it.
// The application may poll isNetworkActivityIndicatorVisible() to draw it.
// Any thread.
class CVNetworkActivityHelper {
public:
    static void setNetworkActivityIndicatorVisible(bool visible);
    static bool isNetworkActivityIndicatorVisible();
};
