// The show's places and the pictures that fill them, by the import's rules: in the order given,
// used again from the first when there are fewer, and those past the last place left out, each
// with a note in the import's words.

// For each place, the index of the picture that fills it; empty when there are no pictures.
export function fill_places(picture_count, place_count) {
  if (picture_count === 0) return [];
  return Array.from({ length: place_count }, (_, place) => place % Math.min(picture_count, place_count));
}

// The notes the import gives for names (the pictures in order) and place_count places.
export function place_notes(names, place_count) {
  const notes = [];
  const used = Math.min(names.length, place_count);
  if (names.length > 0 && names.length < place_count) {
    notes.push(`${used} ${used === 1 ? 'picture' : 'pictures'} for the show's ${place_count} places: reused in order`);
  }
  for (const name of names.slice(place_count)) notes.push(`left out (the show has ${place_count} places): ${name}`);
  return notes;
}

// A person's name for a place, from its path under data/ (the intro's background, then the two
// sets) and whether the show draws the effect over it.
export function place_label(path, effect) {
  const set = /^gfx\/(\d+)\/(\d+)\.jpg$/.exec(path);
  const name = set ? `${set[1] === '1' ? 'First' : 'Second'} ${set[2]}` : 'Intro';
  return effect ? `${name}, with the effect` : name;
}
