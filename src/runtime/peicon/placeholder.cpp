// Replaced as the peicon library grows.
