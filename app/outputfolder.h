#pragma once

#include <QString>

#include <optional>

// The folder a run writes into: the run file, the forum folders and the pictures.
struct OutputFolder
{
    QString path;
    // A progress line saying where pictures go, shown before the first line of a run when the
    // folder is not the one a user would look in first (beside the program). Empty otherwise.
    QString note;
};

// Where pictures go when the program folder cannot be written: <Pictures>/Varnolt.
QString picturesFallback();

// The output folder. `chosen` (from --output or VARNOLT_OUTPUT) wins outright and is created
// when missing; without it, `programFolder` when a file can be made there and it is no installed
// or system location (/usr, /opt, Program Files, …), else `fallback`, created when missing.
// Gives no value, and says why in `problem`, when `chosen` cannot be made or written. With
// `lookOnly` (a dry run) the same choice is made without making or writing anything.
std::optional<OutputFolder> chooseOutputFolder(const QString& programFolder,
                                               const std::optional<QString>& chosen,
                                               const QString& fallback, QString* problem,
                                               bool lookOnly = false);

// VARNOLT_OUTPUT, when it is set (even to the empty text, which chooseOutputFolder refuses).
std::optional<QString> outputFromEnvironment();
