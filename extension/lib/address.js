// The tab's address as the address bar shows it, for {url}: the browser hands addresses over
// with characters beyond ASCII percent-escaped (パ as %E3%83%91), while the toolbar's browser
// gives them as characters; the bridge escapes {url} itself, so escaped ones would be escaped
// twice. Runs of escapes that decode as UTF-8 text become that text; everything else stays.
export function shownAddress(url) {
  if (!url) return '';
  return url.replace(/(?:%[89A-Fa-f][0-9A-Fa-f])+/g, (run) => {
    try {
      return decodeURIComponent(run);
    } catch (e) {
      return run;
    }
  });
}
