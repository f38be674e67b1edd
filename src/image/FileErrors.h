#pragma once

namespace tolvane {

// Error codes of the image-file check; 0 is a file that may be loaded.
inline constexpr int kErrNothingSelected = 1;  // no file chosen
inline constexpr int kErrIncorrectType = 2;    // name or unit identity code not for this model
inline constexpr int kErrNotFound = 3;         // cannot be opened
inline constexpr int kErrSize = 4;             // shorter than the header, or too long to address
inline constexpr int kErrChecksum = 5;         // program file short or XOR/sum wrong
inline constexpr int kErrIncorrectPreset = 6;  // preset identity code not for this model

// Control 1002 for every error; the leading blank belongs to the text.
inline constexpr const char* kErrorInFile = " Error in File";

// Control 1003 for error codes 1 to 6.
inline constexpr const char* kFileErrorTexts[] = {
    "",      " Nothing Selected", " Incorrect Type",        " Not Found",
    " Size", " Checksum",         " Incorrect Preset File",
};

}  // namespace tolvane
