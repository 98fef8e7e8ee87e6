// Replaced as the imaging library grows.
