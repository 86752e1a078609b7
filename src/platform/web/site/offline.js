// Both pages register the site's service worker (service_worker.js, written by the build), which
// keeps the whole site in the browser once visited: the show and the maker then load and work with
// no server, and with the manifest the browser can install the site as an app. A browser without
// service workers (any address but HTTPS or localhost) loads the site from its server as before.
export function keep_site_offline() {
  // Linked here rather than in the pages' heads: a page opened as a file could not fetch it.
  document.head.append(Object.assign(document.createElement('link'), { rel: 'manifest', href: 'manifest.webmanifest' }));
  if (!('serviceWorker' in navigator)) return;
  navigator.serviceWorker.register(new URL('service_worker.js', document.baseURI)).catch((error) => {
    console.warn(`the site will need its server on every visit: ${error.message}`);
  });
}
