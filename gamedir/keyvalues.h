#pragma once
// Valve's KeyValues text format, as Steam writes its library list (libraryfolders.vdf):
//
//   "libraryfolders"
//   {
//       "0"    // a comment
//       {
//           "path"    "C:\\Program Files (x86)\\Steam"
//       }
//   }
//
// Keys and values are quoted texts (\" \\ \n \t are escapes) or bare words; a value is
// either a text or a section in braces. Conditions such as [$WIN32] are not supported.

#include "app/outcome.h"

#include <QString>

#include <vector>

struct KeyValue {
    QString key;
    QString value;                   // the text of a plain entry
    std::vector<KeyValue> children;  // the entries of a section, in file order
    bool section = false;
};

// The entries at the top of `text`; a text that is not well formed fails, saying where.
// Sections nested deeper than a library list ever is are refused too, so no input can
// exhaust the stack.
Outcome<std::vector<KeyValue>> parse_keyvalues(const QString &text);

// The first entry of `entries` whose key equals `key` regardless of case, or null.
const KeyValue *find_key(const std::vector<KeyValue> &entries, const QString &key);
