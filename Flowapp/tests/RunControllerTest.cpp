// The run controller without a window.
