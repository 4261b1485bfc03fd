#pragma once

#include <QApplication>
#include <memory>
#include <optional>

// The exit status of the window program when no display can be opened.
inline constexpr int NoDisplayExit = 69;

// `srvdiag --help` and `srvdiag --version`: prints the text and returns the exit status, before
// any toolkit is started (so that both work without a display). Any other command line returns
// nothing; the window ignores arguments.
std::optional<int> AnswerInfoRequest(int argc, char** argv);

// The toolkit application for the window. When no display can be opened, ends the process with
// NoDisplayExit and one line on standard error pointing to srvdiag-cli, in place of the toolkit's
// own abort. Messages the toolkit gives while it starts are held back and shown after a good
// start, so that a failed one prints that line alone.
std::unique_ptr<QApplication> StartWindowApplication(int& argc, char** argv);
