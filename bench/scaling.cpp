// Growth of the engine's per-level work with the size of the level: every
// row runs at 1x, 10x and 100x its base size and reports its time per item,
// so that a cost growing faster than the work shows in one run. The rows live
// in bench/scaling/, one file per area; this program links them all.
