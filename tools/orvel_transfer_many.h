#pragma once

#include <functional>

class QCommandLineParser;

// "many files" mode of orvel-transfer: a whole folder up or down through the
// transfer list's own tasks and queue (the code the client's rows run), with
// N transfers in parallel, and every file's SHA-256 checked against the
// server's listing afterwards.
//   many-upload   --dir LOCAL_DIR --to SERVER_FOLDER [--parallel N]
//   many-download --from SERVER_FOLDER --out LOCAL_DIR [--parallel N]
// signIn runs the client's sign-in sequence.
int runManyFiles(const QCommandLineParser &p, bool upload, const std::function<bool()> &signIn);
