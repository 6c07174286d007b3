#pragma once
// The one place where modal dialogs are run and where the process is ended on purpose.
// The program uses the real thing; tests install their own runner and exit handler to
// answer boxes without blocking and to observe a fatal exit.

#include <functional>

class QDialog;

// Runs `dialog` modally and returns its result (QDialog::exec by default; for a
// QMessageBox, the standard button that was pressed). A message box's standard buttons
// are labelled in Chinese first, and its text is shown as plain text, never as markup.
int run_modal(QDialog &dialog);

// Ends the process with `code` (flushes the log first). In tests, calls the handler.
void exit_process(int code);

using ModalRunner = std::function<int(QDialog &dialog)>;
using ExitHandler = std::function<void(int code)>;
// An empty function restores the default.
void set_modal_runner(ModalRunner runner);
void set_exit_handler(ExitHandler handler);
