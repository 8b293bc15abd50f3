#include "listing/HtmlWriter.h"

#include "listing/ChunkedOutput.h"
#include "listing/CsvWriter.h"
#include "listing/FiltersJson.h"
#include "listing/JsonString.h"
#include "scan/FileInfo.h"
#include "scan/SearchRecord.h"
#include "support/LocalClock.h"
#include "tree/NodeStore.h"

#include <QCryptographicHash>

namespace quillmap {

namespace {

const char kStyle[] = R"(
body{font:14px/1.4 system-ui,sans-serif;margin:0;color:#222;background:#fff}
header{padding:8px 12px;border-bottom:1px solid #ccc}
h1{font-size:18px;margin:0 0 4px;white-space:pre-wrap;word-break:break-all}
dl{display:grid;grid-template-columns:max-content 1fr;gap:0 12px;margin:4px 0}
dt{color:#666}dd{margin:0;white-space:pre-wrap;word-break:break-all}
details li{white-space:pre-wrap;word-break:break-all}
#bar{display:flex;gap:8px;align-items:center;padding:6px 12px;background:#f4f4f4}
#q{flex:0 1 24em;font:inherit;padding:2px 6px}
.cols,.row{display:grid;grid-template-columns:minmax(18em,1fr) 7em 5em 5em 11em 11em 11em 6em 7em;
 column-gap:8px;padding:0 12px;white-space:nowrap}
.cols{font-weight:600;background:#eee;border-bottom:1px solid #ccc}
.cols span:nth-child(n+2),.row span:nth-child(n+2){text-align:right}
.cols span:nth-child(n+8),.row span:nth-child(n+8){text-align:left}
#view{position:relative;overflow:auto;height:calc(100vh - 230px);min-height:200px}
.row{position:absolute;left:0;right:0;height:22px;line-height:22px;cursor:default}
.row:hover{background:#eef4ff}
.row span{overflow:hidden;text-overflow:ellipsis}
.n{white-space:pre}.t{display:inline-block;width:1.2em;color:#555;cursor:pointer}
.d .n{font-weight:600}.u{color:#999}
)";

// The page's script: reads the data, draws the rows in view, filters.
const char kScript[] = R"(
(function () {
'use strict';
var ROW = 22, BUFFER = 8;
var data = JSON.parse(document.getElementById('listing-data').textContent);
var info = data.info, nodes = data.nodes, n = nodes.length, i, p;
var parent = new Int32Array(n), end = new Int32Array(n), dir = new Uint8Array(n);
var open = new Uint8Array(n), fopen = null, keep = null, lower = null, matches = 0;
var tSize = new Float64Array(n), tFiles = new Float64Array(n), tDirs = new Float64Array(n);
var stack = [];
for (i = 0; i < n; i++) {
  while (stack.length > nodes[i][0]) end[stack.pop()] = i;
  parent[i] = stack.length ? stack[stack.length - 1] : -1;
  end[i] = i + 1;
  if (nodes[i][2] & 16) { dir[i] = 1; stack.push(i); }
}
while (stack.length) end[stack.pop()] = n;
for (i = n - 1; i >= 0; i--) {
  p = parent[i];
  if (p < 0) continue;
  if (dir[i]) { tSize[p] += tSize[i]; tFiles[p] += tFiles[i]; tDirs[p] += tDirs[i] + 1; }
  else { tSize[p] += nodes[i][3] || 0; tFiles[p] += 1; }
}
for (i = 0; i < n; i++) if (nodes[i][0] === 0) open[i] = 1;

function $(id) { return document.getElementById(id); }
function el(tag, text, cls) {
  var e = document.createElement(tag);
  if (text != null) e.textContent = text;
  if (cls) e.className = cls;
  return e;
}
function two(v) { return (v < 10 ? '0' : '') + v; }
function when(t) {
  if (t == null) return '';
  var d = new Date(t * 1000);
  if (isNaN(d.getTime())) return '';
  return d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()) + ' ' +
    two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());
}
function human(b) {
  if (b < 1024) return b + ' B';
  var k = -1;
  do { b /= 1024; k++; } while (b >= 1024 && k < 5);
  return (b < 9.95 ? b.toFixed(1) : Math.round(b)) + ' ' + 'KMGTPE'.charAt(k) + 'iB';
}
function exact(b) { return b.toLocaleString('en-US') + ' bytes'; }
function attrs(a) {
  var s = (a & 32 ? 'A' : '') + (a & 128 ? 'C' : '') + (a & 2 ? 'H' : '') + (a & 1 ? 'R' : '') +
    (a & 4 ? 'S' : '');
  return s || 'N';
}
function count(v, one, many) { return v + ' ' + (v === 1 ? one : many); }

// The header: every value goes in as text.
document.title = info.folder;
$('folder').textContent = info.folder;
var facts = [['Levels', info.levels], ['File types', info.types],
  ['Details', info.details.length ? info.details.join(', ') : 'none'],
  ['Searched', info.date],
  ['Counts', 'Dirs = ' + info.dirs + ' Files = ' + info.files + ', ' + human(tSize[0] || 0) +
   ' (' + exact(tSize[0] || 0) + ')']];
facts.forEach(function (f) { $('facts').appendChild(el('dt', f[0])); $('facts').appendChild(el('dd', f[1])); });
if (info.problems.length) {
  var box = el('details'), list = el('ul');
  box.appendChild(el('summary', count(info.problems.length, 'entry', 'entries') + ' could not be read'));
  info.problems.forEach(function (q) { list.appendChild(el('li', q[0] ? q[0] + ': ' + q[1] : q[1])); });
  box.appendChild(list);
  $('problems').appendChild(box);
}

var view = $('view'), spacer = $('spacer'), vis = new Int32Array(n), nv = 0, pool = [];
function rebuild() {
  var o = keep ? fopen : open;
  nv = 0;
  for (i = 0; i < n;) {
    if (keep && !keep[i]) { i = end[i]; continue; }
    vis[nv++] = i;
    i = dir[i] && !o[i] ? end[i] : i + 1;
  }
  spacer.style.height = nv * ROW + 'px';
  $('shown').textContent = keep ? count(matches, 'match', 'matches') : '';
  document.body.setAttribute('data-shown', nv);
  document.body.setAttribute('data-matches', keep ? matches : n);
  render();
}
function makeRow() {
  var r = el('div', null, 'row');
  for (var k = 0; k < 9; k++) r.appendChild(el('span'));
  r.firstChild.appendChild(el('span', null, 't'));
  r.firstChild.appendChild(el('span', null, 'n'));
  view.appendChild(r);
  return r;
}
function cell(r, k, text, title) {
  var c = r.childNodes[k];
  c.textContent = text;
  if (title) c.title = title; else c.removeAttribute('title');
}
function fill(r, id, at) {
  var d = nodes[id], o = keep ? fopen : open, known = d.length > 3;
  r.style.display = '';
  r.style.top = at * ROW + 'px';
  r.setAttribute('data-i', id);
  r.className = 'row' + (dir[id] ? ' d' : '') + (!dir[id] && !known ? ' u' : '');
  var name = r.firstChild;
  name.style.paddingLeft = d[0] * 1.2 + 'em';
  name.firstChild.textContent = dir[id] && end[id] > id + 1 ? (o[id] ? '\u25be' : '\u25b8') : '';
  name.lastChild.textContent = d[1];
  name.title = d[1];
  if (dir[id]) {
    cell(r, 1, human(tSize[id]), exact(tSize[id]));
    cell(r, 2, String(tFiles[id]));
    cell(r, 3, String(tDirs[id]));
    for (var k = 4; k < 9; k++) cell(r, k, '');
  } else {
    var dot = d[1].indexOf('.');
    cell(r, 1, known && d[3] != null ? human(d[3]) : '', known && d[3] != null ? exact(d[3]) : '');
    cell(r, 2, ''); cell(r, 3, '');
    cell(r, 4, known ? when(d[4]) : '');
    cell(r, 5, known ? when(d[5]) : '');
    cell(r, 6, known ? when(d[6]) : '');
    cell(r, 7, known ? attrs(d[2]) : '');
    cell(r, 8, known && dot >= 0 ? d[1].slice(dot + 1) : '');
  }
}
function render() {
  var first = Math.max(0, Math.floor(view.scrollTop / ROW) - BUFFER);
  var last = Math.min(nv, Math.ceil((view.scrollTop + view.clientHeight) / ROW) + BUFFER);
  while (pool.length < last - first) pool.push(makeRow());
  for (var k = 0; k < pool.length; k++) {
    if (first + k < last) fill(pool[k], vis[first + k], first + k);
    else pool[k].style.display = 'none';
  }
}
function filter(q) {
  if (!q) { keep = null; rebuild(); return; }
  if (!lower) { lower = new Array(n); for (i = 0; i < n; i++) lower[i] = nodes[i][1].toLowerCase(); }
  var ql = q.toLowerCase();
  keep = new Uint8Array(n);
  fopen = new Uint8Array(n).fill(1);
  matches = 0;
  for (i = 0; i < n; i++) {
    if (lower[i].indexOf(ql) < 0) continue;
    matches++;
    for (p = i; p >= 0 && !keep[p]; p = parent[p]) keep[p] = 1;
  }
  view.scrollTop = 0;
  rebuild();
}
function setOpen(v) { var o = keep ? fopen : open; for (i = 0; i < n; i++) o[i] = v || nodes[i][0] === 0 ? 1 : 0; rebuild(); }

var q = $('q'), pending = 0;
function fromHash() {
  var m = /^#search=(.*)$/.exec(location.hash), text = '';
  if (m) { try { text = decodeURIComponent(m[1]); } catch (e) { text = m[1]; } }
  if (text !== q.value || !m) { q.value = text; filter(text); }
}
q.addEventListener('input', function () {
  if (pending) return;
  pending = requestAnimationFrame(function () {
    pending = 0;
    filter(q.value);
    try { history.replaceState(null, '', q.value ? '#search=' + encodeURIComponent(q.value) : location.pathname + location.search); } catch (e) {}
  });
});
window.addEventListener('hashchange', fromHash);
view.addEventListener('scroll', render);
window.addEventListener('resize', render);
view.addEventListener('click', function (e) {
  var r = e.target.closest('.row'), id = r ? +r.getAttribute('data-i') : -1;
  if (id < 0 || !dir[id]) return;
  var o = keep ? fopen : open;
  o[id] ^= 1;
  rebuild();
});
$('all').addEventListener('click', function () { setOpen(1); });
$('none').addEventListener('click', function () { setOpen(0); });
fromHash();
document.body.setAttribute('data-ms', Math.round(performance.now()));
document.body.setAttribute('data-ready', '1');
})();
)";

void appendHtmlEscaped(std::string& out, const QString& text)
{
    for (const char c : text.toStdString()) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
}

void appendNumber(std::string& out, std::int64_t v)
{
    out += std::to_string(v);
}

void appendDateOrNull(std::string& out, const std::optional<std::int64_t>& t)
{
    if (t)
        appendNumber(out, *t);
    else
        out += "null";
}

} // namespace

void HtmlWriter::appendScriptString(std::string& out, std::string_view bytes)
{
    const QByteArray valid = NodeStore::displayString(bytes).toUtf8();
    AppendJsonString(out, std::string_view(valid.constData(), std::size_t(valid.size())), true);
}

bool HtmlWriter::write(std::FILE* out)
{
    const QByteArray scriptHash =
        QCryptographicHash::hash(QByteArray(kScript), QCryptographicHash::Sha256).toBase64();
    const std::string folder =
        m_tree.isEmpty() ? std::string() : m_tree.key(m_tree.firstTopLevel());

    std::string b;
    b += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
         "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "script-src 'sha256-";
    b += scriptHash.toStdString();
    b += "'; style-src 'unsafe-inline'; img-src data:\">\n"
         "<meta name=\"viewport\" content=\"width=device-width\">\n"
         "<meta name=\"generator\" content=\"Quillmap Print " QUILLMAP_VERSION "\">\n"
         "<link rel=\"icon\" href=\"data:,\">\n<title>";
    appendHtmlEscaped(b, NodeStore::displayString(folder));
    b += "</title>\n<style>";
    b += kStyle;
    b += "</style></head>\n<body>\n<header><h1 id=\"folder\"></h1><dl id=\"facts\"></dl>";
    // What the search left out, where it left anything out: plain text in the page itself.
    if (!m_record.filters.isEmpty()) {
        b += "<p id=\"filters\">";
        appendHtmlEscaped(b, m_record.filters.heading());
        b += "</p>";
    }
    b += "<div id=\"problems\"></div></header>\n"
         "<div id=\"bar\"><input id=\"q\" type=\"search\" placeholder=\"Search names\" "
         "aria-label=\"Search names\"><button id=\"all\">Expand all</button>"
         "<button id=\"none\">Collapse all</button><span id=\"shown\"></span></div>\n"
         "<div class=\"cols\"><span>Name</span><span>Size</span><span>Files</span>"
         "<span>Folders</span><span>Modified</span><span>Created</span><span>Accessed</span>"
         "<span>Attributes</span><span>Type</span></div>\n"
         "<div id=\"view\"><div id=\"spacer\"></div></div>\n"
         "<script id=\"listing-data\" type=\"application/json\">{\"info\":{\"folder\":";
    appendScriptString(b, folder);
    b += ",\"levels\":";
    appendScriptString(b, m_record.levels.toStdString());
    b += ",\"types\":";
    appendScriptString(b, m_record.types.toStdString());
    b += ",\"details\":[";
    bool firstDetail = true;
    for (int i = DetailTicks::Archive; i <= DetailTicks::kCount; ++i) {
        if (!m_record.details.ticked(i))
            continue;
        b += firstDetail ? "\"" : ",\"";
        b += kDetailItems[i - 1].text;
        b += '"';
        firstDetail = false;
    }
    b += ']';
    if (!m_record.filters.isEmpty()) {
        b += ",\"filters\":";
        AppendFiltersJson(b, m_record.filters, &HtmlWriter::appendScriptString);
    }
    b += ",\"date\":\"";
    LocalClock clock;
    CsvWriter::appendIsoDate(b, m_record.searchedAt, clock);
    const ScanReport& report = m_record.report;
    b += "\",\"dirs\":";
    b += QString::number(report.dirCount, 'g', 17).toStdString();
    b += ",\"files\":";
    b += QString::number(report.fileCount, 'g', 17).toStdString();
    b += ",\"problems\":[";
    for (qsizetype i = 0; i < report.problems.size(); ++i) {
        b += i ? ",[" : "[";
        appendScriptString(b, std::size_t(i) < report.problemPaths.size() ? report.problemPaths[i]
                                                                          : std::string());
        b += ',';
        appendScriptString(b, report.problemReason(i).toStdString());
        b += ']';
    }
    b += "]},\n\"nodes\":[";

    ChunkedOutput output(out, b);
    bool first = true;
    // One array a node: level, name, attributes (16 for a folder), then for a file whose
    // details were read its size and its modified, created and accessed times.
    const auto visit = [&](NodeStore::Id id, std::uint32_t level) {
        b += first ? "[" : ",\n[";
        first = false;
        appendNumber(b, level);
        b += ',';
        appendScriptString(b, level == 0 ? m_tree.key(id) : std::string(m_tree.name(id)));
        const bool folder = m_tree.isFolder(id);
        const auto r = folder ? std::nullopt : m_tree.details(id);
        b += ',';
        appendNumber(b, folder ? std::uint32_t(FileInfo::kFolder) : r ? r->attributes : 0u);
        if (r) {
            b += ',';
            if (r->size)
                b += std::to_string(*r->size);
            else
                b += "null";
            b += ',';
            appendDateOrNull(b, r->modified);
            b += ',';
            appendDateOrNull(b, r->created);
            b += ',';
            appendDateOrNull(b, r->accessed);
        }
        b += ']';
        output.flush();
        return true;
    };
    m_tree.walk(m_tree.firstTopLevel(), true, visit, [](NodeStore::Id, std::uint32_t) {});
    b += "]}</script>\n<script>";
    b += kScript;
    b += "</script>\n</body></html>\n";
    return output.finish();
}

} // namespace quillmap
