// Hands a made file to the browser to save, as a download named name.
export function download(blob, name) {
  const link = Object.assign(document.createElement('a'), { href: URL.createObjectURL(blob), download: name });
  document.body.append(link);
  link.click();
  link.remove();
  // The browser reads the blob when the download starts; the minute covers a slow disk.
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}
