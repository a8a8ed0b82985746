#pragma once

#include <QKeyCombination>

#include <optional>
#include <span>

// What a key of the main frame's accelerator table does. Swallow takes the key
// away from the page and does nothing with it.
enum class FrameCommand { FileNew, FileOpen, FileSave, EditCut, EditCopy, EditPaste, Swallow };

struct FrameAccelerator
{
    QKeyCombination keys;
    FrameCommand command;
};

// The table: thirteen key combinations, several sharing a command.
std::span<const FrameAccelerator> frameAccelerators();

// The command of keys, or nothing when keys are no frame accelerator. The
// keypad flag does not count: Insert and Delete also come from the keypad.
std::optional<FrameCommand> frameCommandFor(QKeyCombination keys);

// Whether the frame takes its accelerator `keys` from the widget that has the
// focus: a text field of the frame's own (the find bar's) edits with them,
// as any text field does; the page never gets them.
bool frameTakesKeys(QKeyCombination keys, bool focusInTextField);
