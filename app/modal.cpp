#include "app/modal.h"

#include <QDialog>

#include <cstdio>
#include <cstdlib>

namespace {
ModalRunner &modal_runner()
{
    static ModalRunner runner;
    return runner;
}
ExitHandler &exit_handler()
{
    static ExitHandler handler;
    return handler;
}
} // namespace

int run_modal(QDialog &dialog)
{
    if (modal_runner())
        return modal_runner()(dialog);
    return dialog.exec();
}

void exit_process(int code)
{
    if (exit_handler()) {
        exit_handler()(code);
        return;
    }
    std::fflush(stderr);
    // Threads (a download, the update) may still run: end at once, without running
    // destructors that would tear down objects those threads are using.
    std::_Exit(code);
}

void set_modal_runner(ModalRunner runner) { modal_runner() = std::move(runner); }
void set_exit_handler(ExitHandler handler) { exit_handler() = std::move(handler); }
