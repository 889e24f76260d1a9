// Process entry: the restart loop around start-up, the frame loop and shutdown.
#pragma once

// Keeps argv as the UTF-8 command line and runs the restart loop; returns the exit status.
int Runner_Main(int argc, char** argv);
