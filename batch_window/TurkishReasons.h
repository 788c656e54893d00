#pragma once
// Why a picture was skipped or failed, in Turkish: the engine's error numbers and the plan's notes, whose
// English texts stay in the engine and the command line.

#include <QString>

// errorNumber: a core::errc number, or 0 for a reason the plan found, given by its English note.
QString TurkishReason(int errorNumber, const QString& englishNote);
