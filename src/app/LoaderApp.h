#pragma once

#include <string>

namespace tolvane {

class LoaderDlg;
class DialogWindow;
class SerialPort;

// The application: reads the command line into the dialog and runs it.
class LoaderApp {
  public:
    // The argument text: the arguments after the program's name joined with
    // single blanks, leading white space (codes up to 0x20) removed.
    static std::string ArgumentText(int argc, const char* const* argv);

    // Reads the options " c", " s", " x" and " f" of `args` into the dialog's fields.
    static void ReadOptions(const std::string& args, LoaderDlg& dlg);

    // Constructs the dialog on `wnd` and `port`, applies the options, runs it
    // modally; false once it has ended, so the program ends. `exitStatus`, when
    // given, receives the process's exit status: 1 when the command line asked
    // for a load that did not complete, 0 otherwise.
    static bool InitInstance(const std::string& args, DialogWindow& wnd, SerialPort& port,
                             int* exitStatus = nullptr);
};

}  // namespace tolvane
