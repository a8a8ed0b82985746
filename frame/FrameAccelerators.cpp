#include "frame/FrameAccelerators.h"

#include <array>

namespace {

constexpr std::array<FrameAccelerator, 13> table{{
    {Qt::CTRL | Qt::Key_N, FrameCommand::FileNew},
    {Qt::CTRL | Qt::Key_O, FrameCommand::FileOpen},
    {Qt::CTRL | Qt::Key_S, FrameCommand::FileSave},
    {Qt::CTRL | Qt::Key_X, FrameCommand::EditCut},
    {Qt::SHIFT | Qt::Key_Delete, FrameCommand::EditCut},
    {Qt::CTRL | Qt::Key_C, FrameCommand::EditCopy},
    {Qt::CTRL | Qt::Key_Insert, FrameCommand::EditCopy},
    {Qt::CTRL | Qt::Key_V, FrameCommand::EditPaste},
    {Qt::SHIFT | Qt::Key_Insert, FrameCommand::EditPaste},
    // Undo and pane switching have no meaning in the frame; the page must not
    // get them either.
    {Qt::CTRL | Qt::Key_Z, FrameCommand::Swallow},
    {Qt::ALT | Qt::Key_Backspace, FrameCommand::Swallow},
    {QKeyCombination(Qt::Key_F6), FrameCommand::Swallow},
    {Qt::SHIFT | Qt::Key_F6, FrameCommand::Swallow},
}};

} // namespace

std::span<const FrameAccelerator> frameAccelerators()
{
    return table;
}

std::optional<FrameCommand> frameCommandFor(QKeyCombination keys)
{
    const QKeyCombination plain(keys.keyboardModifiers() & ~Qt::KeypadModifier, keys.key());
    for (const FrameAccelerator &accelerator : table) {
        if (accelerator.keys == plain)
            return accelerator.command;
    }
    return std::nullopt;
}

bool frameTakesKeys(QKeyCombination keys, bool focusInTextField)
{
    const std::optional<FrameCommand> command = frameCommandFor(keys);
    if (!command)
        return false;
    switch (*command) {
    case FrameCommand::EditCut:
    case FrameCommand::EditCopy:
    case FrameCommand::EditPaste:
        return !focusInTextField;
    case FrameCommand::Swallow:
        // Undo is editing too; the pane keys mean nothing anywhere.
        return keys.key() == Qt::Key_F6 || !focusInTextField;
    default:
        return true;
    }
}
