// Sectors found damaged in a track, and the files of the disc they lie in.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "tools/halvorn_disc/image_kind.h"

// Blocks listed by number; more are counted but not placed in files.
constexpr uint32_t kMaxDamageListed = 65536;

struct Damage {
  uint64_t count;    // damaged sectors in all
  uint32_t* blocks;  // the first kMaxDamageListed of them, ascending
  uint8_t* in_file;  // per listed block: it lies in some file
  uint32_t listed;
};

// Allocates the lists; false when that fails.
bool BeginDamage(Damage* damage);
void EndDamage(Damage* damage);
void AddDamage(Damage* damage, uint64_t block);

// How the damage came: sectors read whose error-detection codes do not
// match (an image), or sectors a drive could not read at all (a rip).
enum class DamageKind { kMismatched, kUnreadable };

// Prints "PATH: N damaged sectors" for every file holding damaged sectors,
// over the disc's own tree read through `src` (any layout), then those lying
// in no file, and what to do.
void ReportDamagedFiles(const ImageSource& src, Damage* damage, FILE* out,
                        DamageKind kind = DamageKind::kMismatched);
