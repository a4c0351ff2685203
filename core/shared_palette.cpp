#include "core/shared_palette.h"

#include "base/settings.h"

namespace zudizar {

SharedPaletteState SharedPalette;

void InitSharedPalette() {
  SetCurrentTable(DefaultPalette);
  SharedPalette.pending = DefaultPalette;
  SharedPalette.handle.reset();
  RealizeSharedPalette();
  FixSettingsLocation();
  // The start-up palette picture is merged afterwards by the main window
  // (LoadStartupPalette), which then makes the pending table current.
}

PaletteHandle RealizeSharedPalette() {
  SharedPalette.handle.reset();
  auto table = std::make_shared<PaletteTable>(SharedPalette.current);
  const int reserved = SharedPalette.screenReservedEntries;
  if (reserved >= 1 && reserved <= 256) {
    const int half = reserved / 2;
    for (int i = 0; i < half; ++i) {
      (*table)[i] = SharedPalette.systemPalette[i];
      (*table)[255 - i] = SharedPalette.systemPalette[255 - i];
    }
  }
  for (auto& entry : *table) entry.flags = 0;
  SharedPalette.handle = table;
  return SharedPalette.handle;
}

PaletteHandle GetPendingPalette(PaletteTable& destination) {
  destination = SharedPalette.pending;
  return SharedPalette.handle;
}

void SetCurrentPalette(const PaletteTable& table, PaletteHandle handle) {
  SetCurrentTable(table);
  SharedPalette.handle = std::move(handle);
}

void MakePendingCurrent() {
  PaletteTable table;
  PaletteHandle handle = GetPendingPalette(table);
  SetCurrentPalette(table, std::move(handle));
}

void SetCurrentTable(const PaletteTable& table) {
  SharedPalette.current_ = table;
  ++SharedPalette.changes_;
}

void SetCurrentEntry(int index, const PaletteEntry& entry) {
  if (index < 0 || index > 255) return;
  SharedPalette.current_[static_cast<std::size_t>(index)] = entry;
  ++SharedPalette.changes_;
}

std::uint64_t CurrentPaletteChangeCount() { return SharedPalette.changes_; }

}  // namespace zudizar
