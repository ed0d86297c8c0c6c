// The explorer of one drawing: selection with its filter and ideal, the panel, search, keys,
// zoom and pan. Called with the id of its fragment, whose elements and data it alone uses, so
// that any number of explorers share a page. Names reach the page as text only.
(function (id) {
  "use strict";
  const root = document.getElementById(id);
  if (!root || root.dataset.ready) return; // a notebook may run the same output twice
  root.dataset.ready = "1";
  const data = JSON.parse(root.querySelector("script.quorlan-data").textContent);
  const svg = root.querySelector(".quorlan-stage svg");
  const panel = root.querySelector(".quorlan-panel");
  const search = root.querySelector(".quorlan-search");
  const circles = Array.from(svg.querySelectorAll("circle[data-concept]"));
  const lines = Array.from(svg.querySelector("g").children);
  const n = circles.length;

  // The order, node by node: covers both ways, the lines at each node's upper end, the labels.
  const nodeOf = new Map();
  const uppers = [], lowers = [], linesDown = [], labels = [], xs = [];
  for (let i = 0; i < n; i++) {
    nodeOf.set(data.nodes[i][0], i);
    uppers.push([]); lowers.push([]); linesDown.push([]); labels.push([]);
    xs.push(circles[i].cx.baseVal.value);
  }
  data.edges.forEach(([u, v], k) => {
    lowers[u].push(v); uppers[v].push(u); linesDown[u].push(k);
  });
  const byX = (a, b) => xs[a] - xs[b];
  uppers.forEach((list) => list.sort(byX));
  lowers.forEach((list) => list.sort(byX));
  svg.querySelectorAll("text[data-concept]").forEach((t) => {
    labels[nodeOf.get(Number(t.dataset.concept))].push(t);
  });
  const layers = [];
  data.nodes.forEach(([, layer], i) => { (layers[layer] = layers[layer] || []).push(i); });
  const place = new Int32Array(n);
  layers.forEach((layer) => layer.forEach((i, k) => { place[i] = k; }));

  // Selection: the concept, its filter (up) and ideal (down), the lines and labels among them.
  let selected = -1;
  let marked = [];
  const mark = new Uint8Array(n);
  function closure(start, next) {
    const seen = [start];
    const todo = [start];
    mark[start] = 1;
    while (todo.length) {
      for (const w of next[todo.pop()]) {
        if (!mark[w]) { mark[w] = 1; seen.push(w); todo.push(w); }
      }
    }
    return seen;
  }
  function unmark() {
    for (const el of marked) el.classList.remove("selected", "up", "down", "hl");
    marked = [];
    mark.fill(0);
  }
  function clear() {
    unmark();
    selected = -1;
    root.classList.remove("quorlan-active");
    panel.hidden = true;
  }
  function add(el, cls) { el.classList.add(cls); marked.push(el); }
  function select(i) {
    unmark(); // the page stays dimmed: only what changes is restyled
    selected = i;
    const up = closure(i, uppers);
    mark[i] = 0;
    const down = closure(i, lowers);
    add(circles[i], "selected");
    for (let k = 1; k < up.length; k++) add(circles[up[k]], "up");
    for (let k = 1; k < down.length; k++) add(circles[down[k]], "down");
    for (const v of up.concat(down)) {
      for (const k of linesDown[v]) if (mark[data.edges[k][1]]) add(lines[k], "hl");
      for (const t of labels[v]) add(t, "hl");
    }
    root.classList.add("quorlan-active");
    show(i);
  }

  // Each concept's intent, from the attribute labels at it and above it, as bits over the
  // attributes shown; its extent, the objects whose row holds the intent (data.rows: a row of
  // data.width bytes per object shown, in base64).
  const W = data.width;
  const bin = atob(data.rows);
  const rows = new Uint8Array(bin.length);
  for (let k = 0; k < bin.length; k++) rows[k] = bin.charCodeAt(k);
  const intents = new Uint8Array(n * W);
  const sizes = new Int32Array(n);
  const waiting = uppers.map((list) => list.length);
  const ready = [];
  for (let v = 0; v < n; v++) if (!waiting[v]) ready.push(v);
  while (ready.length) { // every concept after all of its upper covers
    const v = ready.pop();
    for (const j of data.att[v]) intents[v * W + (j >> 3)] |= 1 << (j & 7);
    for (const u of uppers[v]) for (let b = 0; b < W; b++) intents[v * W + b] |= intents[u * W + b];
    for (let b = 0; b < W; b++) for (let x = intents[v * W + b]; x; x &= x - 1) sizes[v]++;
    for (const w of lowers[v]) if (--waiting[w] === 0) ready.push(w);
  }
  const holds = (v, r) => { // whether object r has every attribute of concept v
    for (let b = 0; b < W; b++) if (intents[v * W + b] & ~rows[r * W + b]) return false;
    return true;
  };
  const hasAttribute = (v, j) => (intents[v * W + (j >> 3)] >> (j & 7)) & 1;

  // The panel: the concept's index, its whole extent and intent.
  function show(i) {
    const objects = data.objects.filter((_, r) => holds(i, r));
    const attributes = data.attributes.filter((_, j) => hasAttribute(i, j));
    const s = (k, one) => k + " " + one + (k === 1 ? "" : "s");
    panel.querySelector(".quorlan-head").textContent = "concept " + data.nodes[i][0] + ": " +
      s(objects.length, "object") + ", " + s(attributes.length, "attribute");
    panel.querySelector(".quorlan-objects .quorlan-names").textContent = objects.join(", ");
    panel.querySelector(".quorlan-attributes .quorlan-names").textContent = attributes.join(", ");
    panel.hidden = false;
  }

  // Search: a name, exact before prefix, objects before attributes, selects its concept: an
  // object's, the concept of the most attributes whose extent holds it; an attribute's, the
  // concept of the fewest attributes whose intent holds it (the first drawn of equals). In a
  // whole lattice these are its object and attribute concepts.
  function conceptOf(kind, k) {
    let best = -1;
    for (let v = 0; v < n; v++) {
      if (kind === 0 ? holds(v, k) && (best < 0 || sizes[v] > sizes[best])
        : hasAttribute(v, k) && (best < 0 || sizes[v] < sizes[best])) best = v;
    }
    return best;
  }
  const kinds = [data.objects, data.attributes].map((names) => names.map((s) => s.toLowerCase()));
  function find(text) {
    const q = text.trim().toLowerCase();
    if (!q) return -1;
    for (const test of [(s) => s === q, (s) => s.startsWith(q)]) {
      for (let kind = 0; kind < 2; kind++) {
        const k = kinds[kind].findIndex(test);
        if (k >= 0) return conceptOf(kind, k);
      }
    }
    return -1;
  }
  function searched() {
    const found = find(search.value);
    search.classList.toggle("quorlan-nomatch", found < 0 && search.value.trim() !== "");
    if (found >= 0) select(found);
  }
  search.addEventListener("input", searched);
  search.addEventListener("keydown", (e) => { if (e.key === "Enter") searched(); });

  // Keys: covers up and down (the leftmost), neighbours on the layer, Escape.
  root.addEventListener("keydown", (e) => {
    if (e.target === search && e.key !== "Escape") return;
    let next = -2;
    if (e.key === "Escape") { clear(); e.preventDefault(); return; }
    if (selected < 0) {
      if (e.key === "ArrowDown") next = layers[0][0];
      if (e.key === "ArrowUp") next = layers[layers.length - 1][0];
    } else {
      const layer = layers[data.nodes[selected][1]];
      if (e.key === "ArrowUp") next = uppers[selected].length ? uppers[selected][0] : -1;
      if (e.key === "ArrowDown") next = lowers[selected].length ? lowers[selected][0] : -1;
      if (e.key === "ArrowLeft") next = place[selected] > 0 ? layer[place[selected] - 1] : -1;
      if (e.key === "ArrowRight") next = layer[place[selected] + 1] ?? -1;
    }
    if (next === -2) return;
    e.preventDefault();
    if (next >= 0) select(next);
  });

  // Zoom and pan by the picture's view box: the wheel (a trackpad's pinch too), two pointers,
  // dragging, and the reset button.
  const box = svg.viewBox.baseVal;
  const initial = [box.x, box.y, box.width, box.height];
  const view = initial.slice();
  const setView = () => svg.setAttribute("viewBox", view.map((v) => v.toFixed(2)).join(" "));
  function toPicture(cx, cy) {
    const m = svg.getScreenCTM();
    if (!m) return [view[0] + view[2] / 2, view[1] + view[3] / 2];
    return [(cx - m.e) / m.a, (cy - m.f) / m.d];
  }
  function zoomAt(cx, cy, factor) {
    const f = Math.min(Math.max(factor, initial[2] / 400 / view[2]), 2 * initial[2] / view[2]);
    const [px, py] = toPicture(cx, cy);
    view[0] = px - (px - view[0]) * f; view[1] = py - (py - view[1]) * f;
    view[2] *= f; view[3] *= f;
    setView();
  }
  svg.addEventListener("wheel", (e) => {
    e.preventDefault();
    zoomAt(e.clientX, e.clientY, Math.exp(e.deltaY * (e.ctrlKey ? 0.01 : 0.0015)));
  }, {passive: false});
  const pointers = new Map();
  let moved = false;
  let start = null;
  svg.addEventListener("pointerdown", (e) => {
    pointers.set(e.pointerId, [e.clientX, e.clientY]);
    if (pointers.size === 1) { moved = false; start = [e.clientX, e.clientY]; }
  });
  svg.addEventListener("pointermove", (e) => {
    const last = pointers.get(e.pointerId);
    if (!last) return;
    const m = svg.getScreenCTM();
    if (pointers.size === 1 && m) {
      if (Math.hypot(e.clientX - start[0], e.clientY - start[1]) > 3) {
        if (!moved) svg.setPointerCapture(e.pointerId);
        moved = true;
      }
      if (moved) {
        view[0] -= (e.clientX - last[0]) / m.a; view[1] -= (e.clientY - last[1]) / m.d;
        setView();
      }
    } else if (pointers.size === 2) {
      const [other] = Array.from(pointers).filter(([k]) => k !== e.pointerId).map(([, p]) => p);
      const before = Math.hypot(last[0] - other[0], last[1] - other[1]);
      const after = Math.hypot(e.clientX - other[0], e.clientY - other[1]);
      moved = true;
      if (before > 0 && after > 0) {
        zoomAt((e.clientX + other[0]) / 2, (e.clientY + other[1]) / 2, before / after);
      }
    }
    pointers.set(e.pointerId, [e.clientX, e.clientY]);
  });
  const release = (e) => { pointers.delete(e.pointerId); };
  svg.addEventListener("pointerup", release);
  svg.addEventListener("pointercancel", release);
  root.querySelector(".quorlan-reset").addEventListener("click", () => {
    initial.forEach((v, k) => { view[k] = v; });
    setView();
  });

  // A click on a concept or its label selects it; on the background, clears.
  svg.addEventListener("click", (e) => {
    if (moved) { moved = false; return; }
    const hit = e.target.closest("circle[data-concept], text[data-concept]");
    root.focus({preventScroll: true});
    if (hit) select(nodeOf.get(Number(hit.dataset.concept)));
    else clear();
  });

  // Scripts run: the picture fills the column (never beyond its own width) at a height for
  // zooming, and the controls show.
  const stage = root.querySelector(".quorlan-stage");
  const wide = Math.min(initial[2], stage.clientWidth || initial[2]);
  const high = Math.min(640, Math.max(Math.min(initial[3], 360), initial[3] * wide / initial[2]));
  svg.removeAttribute("style");
  svg.setAttribute("width", "100%");
  svg.setAttribute("height", high.toFixed(0));
  svg.style.maxWidth = initial[2].toFixed(0) + "px";
  svg.classList.add("quorlan-zoomable");
  stage.style.overflow = "hidden";
  root.querySelector(".quorlan-bar").hidden = false;
})
