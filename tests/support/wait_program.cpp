// Waits for the number of seconds given as its argument (60 without one), then exits:
// a process of any name, for suites that need one (a copy of it stands in for the game).

#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char *argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}
