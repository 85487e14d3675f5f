#include "QtHistory.h"

#include <QCoreApplication>
#include <QUndoCommand>
#include <vector>

namespace {

// Inert commands are cleared away when they are at least this many and at least half the stack, so that the
// rebuild's cost spreads over the steps that made them.
constexpr int CompactAfter = 64;

}  // namespace

QString EditKindText(TEditKind Kind) {
  switch (Kind) {
    case TEditKind::Stamp:
      return QCoreApplication::translate("THistoryStack", "スタンプ");
    case TEditKind::Erase:
      return QCoreApplication::translate("THistoryStack", "消去");
    case TEditKind::Move:
      return QCoreApplication::translate("THistoryStack", "移動");
    case TEditKind::Copy:
      return QCoreApplication::translate("THistoryStack", "複製");
    case TEditKind::Cut:
      return QCoreApplication::translate("THistoryStack", "切り取り");
    case TEditKind::Paste:
      return QCoreApplication::translate("THistoryStack", "貼り付け");
    case TEditKind::NewImage:
      return QCoreApplication::translate("THistoryStack", "新規作成");
    case TEditKind::LoadImage:
      return QCoreApplication::translate("THistoryStack", "画像の読み込み");
    case TEditKind::ChipSize:
      return QCoreApplication::translate("THistoryStack", "チップサイズの変更");
    case TEditKind::Rebuild:
      return QCoreApplication::translate("THistoryStack", "再構築");
  }
  return {};
}

// One step of the editor's history. Its first redo comes from the push, after the editor already made the
// step, and does nothing.
class THistoryStack::TCommand : public QUndoCommand {
 public:
  TCommand(THistoryStack& Owner, TEditKind Kind) : FOwner(Owner), FKind(Kind) { setText(EditKindText(Kind)); }
  TEditKind Kind() const { return FKind; }
  void undo() override { FOwner.Apply(true); }
  void redo() override {
    if (FPushed) return FOwner.Apply(false);
    FPushed = true;
  }

 private:
  THistoryStack& FOwner;
  TEditKind FKind;
  bool FPushed = false;
};

THistoryStack::THistoryStack(TSheetEditor& Editor, QObject* Owner) : QObject(Owner), FEditor(&Editor) {}

THistoryStack::~THistoryStack() = default;

void THistoryStack::Reset(TSheetEditor& Editor) {
  FEditor = &Editor;
  Mirror([this] { FStack.clear(); });
  FInert = 0;
  emit Changed();
}

TEditChange THistoryStack::Edit(const std::function<TEditChange()>& Edit) {
  const size_t dropped = FEditor->DroppedSteps();
  const size_t before = dropped + FEditor->CurrentStep();
  const auto mirror = [&] {
    // Positions counted over the whole history tell a new step from a joined one however many were dropped.
    if (FEditor->DroppedSteps() + FEditor->CurrentStep() > before)
      FStack.push(new TCommand(*this, FEditor->UndoKind()));
    FollowDrops(dropped);
    emit Changed();
  };
  TEditChange change;
  try {
    change = Edit();
  } catch (...) {
    mirror();
    throw;
  }
  mirror();
  return change;
}

bool THistoryStack::CanUndo() const {
  return FStack.index() > FInert && FEditor->CanUndo();
}

bool THistoryStack::CanRedo() const {
  return FStack.canRedo() && FEditor->CanRedo();
}

QString THistoryStack::UndoText() const {
  return CanUndo() ? FStack.undoText() : QString();
}

QString THistoryStack::RedoText() const {
  return CanRedo() ? FStack.redoText() : QString();
}

TEditChange THistoryStack::Undo() {
  if (!CanUndo()) return {};
  const size_t dropped = FEditor->DroppedSteps();
  FApplied = {};
  FError = nullptr;
  FStack.undo();
  if (FError) {
    // The editor did not move: the stack goes back to its place.
    Mirror([this] { FStack.redo(); });
    emit Changed();
    std::rethrow_exception(std::exchange(FError, nullptr));
  }
  FollowDrops(dropped);
  emit Changed();
  return FApplied;
}

TEditChange THistoryStack::Redo() {
  if (!CanRedo()) return {};
  const size_t dropped = FEditor->DroppedSteps();
  FApplied = {};
  FError = nullptr;
  FStack.redo();
  if (FError) {
    Mirror([this] { FStack.undo(); });
    emit Changed();
    std::rethrow_exception(std::exchange(FError, nullptr));
  }
  FollowDrops(dropped);
  emit Changed();
  return FApplied;
}

void THistoryStack::SetClean() {
  FEditor->SetClean();
  FStack.setClean();
  emit Changed();
}

bool THistoryStack::IsClean() const {
  return FStack.isClean();
}

void THistoryStack::Apply(bool Undo) {
  if (FMirroring) return;
  // Exceptions do not pass through Qt's frames: they are kept and raised again once the stack returned.
  try {
    FApplied = Undo ? FEditor->Undo() : FEditor->Redo();
  } catch (...) {
    FError = std::current_exception();
  }
}

void THistoryStack::Mirror(const std::function<void()>& Move) {
  FMirroring = true;
  try {
    Move();
  } catch (...) {
    FMirroring = false;
    throw;
  }
  FMirroring = false;
}

void THistoryStack::FollowDrops(size_t DroppedBefore) {
  FInert += static_cast<int>(FEditor->DroppedSteps() - DroppedBefore);
  Compact();
}

void THistoryStack::Compact() {
  if (FInert < CompactAfter || FInert * 2 < FStack.count()) return;
  std::vector<TEditKind> kinds;
  for (int i = FInert; i < FStack.count(); ++i)
    kinds.push_back(static_cast<const TCommand*>(FStack.command(i))->Kind());
  const int index = FStack.index() - FInert;
  // A clean position among the inert commands is gone with them (-1 stays below 0).
  const int clean = FStack.cleanIndex() < 0 ? -1 : FStack.cleanIndex() - FInert;
  Mirror([&] {
    FStack.clear();
    for (const TEditKind kind : kinds) FStack.push(new TCommand(*this, kind));
    if (clean >= 0) {
      FStack.setIndex(clean);
      FStack.setClean();
    } else {
      FStack.resetClean();
    }
    FStack.setIndex(index);
  });
  FInert = 0;
}
