#pragma once

#include "ScriptedPrompts.h"

#include <QStringList>

// Prompts as single comparable texts, so one comparison checks the kind, title, icon,
// buttons and text of every prompt, their number and their order.
QString ShownPrompt(const ScriptedPrompts::Record &record);
QStringList ShownPrompts(const QList<ScriptedPrompts::Record> &records);

// How a message box with this text, icon and buttons under the title "Korvex Brevant" shows
// in ShownPrompt.
QString MessagePrompt(const QString &text, PromptIcon icon = PromptIcon::Information,
                      PromptButtons buttons = PromptButtons::OK);
