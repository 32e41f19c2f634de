#pragma once

namespace osciloskop {

// One run of the program: command line, platform choice, the main window and its message
// loop, and what a scripted run asks for at exit.

int runProgram(int argc, char** argv);

}  // namespace osciloskop
