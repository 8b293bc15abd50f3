#pragma once

#include <QString>

namespace quillmap::LangFunctions {

// The user's language and the numbered messages of lang.ini in it. GetMessageText may be called
// from any thread; LanguageName and LanguageCode are set on the first call.

// The profile's language setting as read, trimmed and upper-cased; set by DetectLanguage.
extern QString LanguageCode;
// One of "ENGLISH", "FRENCH", "GERMAN", "ITALIAN", "SPANISH", "DUTCH", "PORTUGUESE",
// "NORWEGIAN" once detection has run; blank until then.
extern QString LanguageName;

// Reads "intl"/"slanguage" from the profile and sets LanguageCode and LanguageName. Codes are
// compared without regard to case and surrounding spaces and exactly otherwise; anything
// unknown gives "ENGLISH".
void DetectLanguage();

// The language a setting maps to ("ENGLISH" for anything unknown). Pure; DetectLanguage uses it.
QString LanguageForCode(const QString& code);

// The text of message `Number` (rounded to the nearest whole number, halves to even) in
// LanguageName's language, the English text where that is blank. On the first call detects the
// language and loads lang.ini from the program's folder; a load that fails is retried on the
// next call. Never fails: empty text for a number outside 0 to 999 or when no usable message
// file exists.
QString GetMessageText(double Number);

// GetMessageText(Number), or `english` (UTF-8) when the message file has no text for it: the
// window's messages stay readable without a usable lang.ini.
QString MessageText(int Number, const char* english);

// Loads every message of lang.ini into memory. Returns false when the file is missing or its
// "number" is absent, not a number or over 999; the tables then keep what was stored so far and
// the next GetMessageText tries again. Called by GetMessageText.
bool LoadMessages();

// For tests: forget the language and the loaded messages, and read lang.ini from `folder`
// (ending in "/") instead of the program's folder; an empty folder restores the program's.
void ResetMessages(const QString& folder = QString());

} // namespace quillmap::LangFunctions
