#pragma once

// The program entry: creates the application and its windows and runs the event loop.
int ProgramMain(int argc, char** argv);
