// The byte range a Range header asks of a file of size bytes: { start, end } (end included), null
// for the whole file (no header, or one that is not taken, such as several ranges), 'unsatisfiable'
// when it starts past the end. Media players ask for ranges to stream; the test server and the
// site's service worker answer them by this one rule.
export function requested_range(header, size) {
  const match = /^bytes=(\d*)-(\d*)$/.exec(header ?? '');
  if (!match || (match[1] === '' && match[2] === '')) return null;
  let start, end;
  if (match[1] === '') {
    start = Math.max(0, size - Number(match[2]));
    end = size - 1;
  } else {
    start = Number(match[1]);
    end = match[2] === '' ? size - 1 : Math.min(Number(match[2]), size - 1);
    if (end < start && start < size) return null;
  }
  return start < size ? { start, end } : 'unsatisfiable';
}
