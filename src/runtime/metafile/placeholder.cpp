// Replaced as the metafile library grows.
