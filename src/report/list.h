// The list command: a readable report of one loaded font on the standard output.
#pragma once

#include <map>

struct font_object;
struct cmap_subtable;

// The directory's ElabPtr and ImportPtr columns only tell whether something is attached
// and whether two rows share it. Rather than raw addresses, which differ from run to run
// and may need more than eight digits, each attached block gets a number of its own: 1
// for the first block ever shown in this run, 2 for the next new one, and so on. A block
// keeps its number for the rest of the run, so the columns stay comparable between two
// listings. Nothing attached shows as 0. The numbers are keyed by the block's address, so
// they tell blocks apart exactly as addresses would (a block freed and another allocated
// at the same place would show the same number, as it would show the same address).
class display_ids {
  public:
    unsigned long of(const void* block);  // 0 for none

  private:
    std::map<const void*, unsigned long> ids_;
};

// The whole report, numbering attached blocks through ids (one per run); missing tables
// are reported as messages of the font and skipped. Always 0.
int do_list(font_object& font, display_ids& ids);

// One cmap subtable: its header, segment arrays and glyph indices. Null prints nothing.
void list_cmap_subtable(const cmap_subtable* subtable);
