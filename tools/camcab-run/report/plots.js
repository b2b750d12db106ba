// The plots of a report page: packed columns unpacked, and plots against scenario time that
// zoom and pan together, each drawing the rows that its source makes for the shown range (an
// overview of every stretch's least and greatest values, every frame of a zoomed range).
window.CamcabPlots = (function () {
  'use strict';
  // A packed column (see PageEncoding.h): NaN where the drive had null.
  function unpack(text, count) {
    var bytes = atob(text), at = 0, out = new Float64Array(count), f = 0;
    var counted = 0, last = NaN;
    function code() {
      var value = 0, scale = 1, b;
      do { b = bytes.charCodeAt(at++); value += (b & 127) * scale; scale *= 128; } while (b & 128);
      return value;
    }
    while (f < count && at < bytes.length) {
      var k = code();
      if (k === 0) { last = NaN; out[f++] = last; }
      else if (k === 1) { for (var r = code(); r > 0 && f < count; --r) out[f++] = last; }
      else if (k === 2) {
        var view = new DataView(new ArrayBuffer(8));
        for (var i = 0; i < 8; ++i) view.setUint8(i, bytes.charCodeAt(at++));
        last = view.getFloat64(0, true); out[f++] = last;
      } else {
        var z = k - 3;
        counted += z % 2 ? -(z + 1) / 2 : z / 2;
        last = counted / 1000; out[f++] = last;
      }
    }
    for (; f < count; ++f) out[f] = NaN;
    return out;
  }

  // Scenario time is a time of day: h:mm:ss, with hundredths where there are any.
  function clock(x) {
    var s = ((x % 86400) + 86400) % 86400;
    var h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60;
    var rest = (s - 3600 * h - 60 * m).toFixed(2).replace(/\.?0+$/, '');
    return h + ':' + (m < 10 ? '0' : '') + m + ':' + (Number(rest) < 10 ? '0' : '') + rest;
  }

  // Plots of one row per entry (lamps, sounds): a tick per row, labelled with its index, and
  // room for every row.
  function rowTicks(indices, spacing) {
    return function () {
      return indices.map(function (index, k) { return {v: k * spacing, label: String(index)}; });
    };
  }
  function rowsHeight(count) { return Math.max(260, 80 + 22 * count); }

  // What the page holds of a column, for checking it against the trace: the frames, the nulls
  // and a sum weighted by place.
  function fingerprint(column) {
    var nulls = 0, sum = 0;
    for (var i = 0; i < column.length; ++i) {
      if (column[i] !== column[i]) ++nulls; else sum += (i % 7 + 1) * column[i];
    }
    return {frames: column.length, nulls: nulls, sum: sum};
  }

  // The plots of one page over the frames at times `t` (seconds). `onRange(range)` follows every
  // change of the shown range (the spectrogram); `onClick(event, x)` a click on a plot; the page's
  // `status` gets each plot's rows.
  function Plots(t, status, writeStatus, onRange, onClick) {
    var n = t.length, graphs = [], syncing = false;
    // A range of at most this many frames is drawn frame by frame (a few minutes of frames);
    // a longer one as the least and the greatest value of each of this many stretches.
    var kDetailFrames = 12000, kStretches = 1500;

    function shown(v) { return v === v ? v : null; }
    // Appends rows [time, each column's value] for frames first..last: every frame where they are
    // few enough, else each stretch's least values at its first frame and greatest at its last.
    // True where every frame went in.
    function appendRows(rows, columns, first, last) {
      var count = last - first + 1, c, i;
      if (count <= kDetailFrames) {
        for (i = first; i <= last; ++i) {
          var row = [t[i]];
          for (c = 0; c < columns.length; ++c) row.push(shown(columns[c][i]));
          rows.push(row);
        }
        return true;
      }
      for (var k = 0; k < kStretches; ++k) {
        var lo = first + Math.floor(k * count / kStretches), hi = first + Math.floor((k + 1) * count / kStretches) - 1;
        if (hi < lo) continue;
        var least = [t[lo]], greatest = [t[hi]];
        for (c = 0; c < columns.length; ++c) {
          var column = columns[c], min = Infinity, max = -Infinity;
          for (i = lo; i <= hi; ++i) {
            var v = column[i];
            if (v < min) min = v;
            if (v > max) max = v;
          }
          least.push(min <= max ? min : null);
          greatest.push(min <= max ? max : null);
        }
        rows.push(least);
        if (hi > lo) rows.push(greatest);
      }
      return false;
    }

    // The rows of a plot of per-frame columns for a time range (null: the whole drive): the
    // range in detail, the rest of the drive from an overview, so that panning shows the
    // neighbourhood at once. `keptFrames` (ascending) always get a row of their own: the
    // annotations sit on them.
    function frameSource(columns, keptFrames) {
      var overview = [];
      appendRows(overview, columns, 0, n - 1);
      return function (range) {
        range = range || [t[0], t[n - 1]];
        var first = Math.max(0, frameAt(range[0]) - 1), last = Math.min(n - 1, frameAt(range[1]));
        var rows = [], i = 0;
        for (; i < overview.length && overview[i][0] < t[first]; ++i) rows.push(overview[i]);
        var detail = [];
        var everyFrame = appendRows(detail, columns, first, last);
        if (!everyFrame && keptFrames && keptFrames.length) {
          keptFrames.forEach(function (f) { if (f >= first && f <= last) appendRows(detail, columns, f, f); });
          detail.sort(function (a, b) { return a[0] - b[0]; });
        }
        rows = rows.concat(detail);
        for (; i < overview.length; ++i) if (overview[i][0] > t[last]) rows.push(overview[i]);
        return {rows: rows, everyFrame: everyFrame};
      };
    }

    // Zooming or panning one plot moves the others and the spectrogram to the same range. Each
    // plot's rows are made again for the range: at once for a zoom, when a pan stops.
    var rowsRange = null, refreshTimer = null;
    function refresh(range) {
      clearTimeout(refreshTimer);
      rowsRange = range;
      syncing = true;
      status.view = {};
      graphs.forEach(function (g) {
        var made = g.source(range);
        g.updateOptions({file: made.rows, dateWindow: range});
        status.view[g.reportId] = {rows: made.rows.length, everyFrame: made.everyFrame};
      });
      annotate(range);
      syncing = false;
      onRange(range);
      writeStatus();
    }
    function synchronize(g, initial) {
      if (syncing) return;
      var range = g.xAxisRange();
      if (initial || !rowsRange) { onRange(range); return; }
      if (range[0] === rowsRange[0] && range[1] === rowsRange[1]) return;
      if (Math.abs((range[1] - range[0]) - (rowsRange[1] - rowsRange[0])) > 1e-9 * Math.abs(range[1])) {
        refresh(range);
        return;
      }
      syncing = true;
      graphs.forEach(function (other) { if (other !== g) other.updateOptions({dateWindow: range}); });
      syncing = false;
      onRange(range);
      clearTimeout(refreshTimer);
      refreshTimer = setTimeout(function () { refresh(g.xAxisRange()); }, 150);
    }

    // The first frame at or after time x.
    function frameAt(x) {
      var low = 0, high = t.length;
      while (low < high) {
        var middle = (low + high) >> 1;
        if (t[middle] < x) low = middle + 1; else high = middle;
      }
      return low;
    }

    // A plot of the rows that `source` makes for a time range (frameSource).
    function plot(id, source, labels, options) {
      var div = document.getElementById(id);
      if (!div) return null;
      var rows = source(null).rows;
      if (!rows.length) { status.plots[id] = {rows: 0, series: 0}; return null; }
      var settings = {
        labels: labels, labelsDiv: id + '-legend', legend: 'always', labelsSeparateLines: false,
        xlabel: 'scenario time', axes: {x: {axisLabelFormatter: clock, valueFormatter: clock, axisLabelWidth: 80},
                                        y: {axisLabelWidth: 60}},
        drawCallback: synchronize, clickCallback: onClick, connectSeparatedPoints: false,
        highlightCircleSize: 2
      };
      if (options.height) div.style.height = options.height + 'px';
      for (var key in options) {
        if (key !== 'axes' && key !== 'height') settings[key] = options[key];
      }
      for (var axis in options.axes || {}) settings.axes[axis] = options.axes[axis];
      var g = new Dygraph(div, rows, settings);
      g.reportId = id;
      g.source = source;
      graphs.push(g);
      status.plots[id] = {rows: g.numRows(), series: g.numColumns() - 1};
      return g;
    }

    var annotators = [];
    // Each annotated plot labels what lies in the range, up to its most labels.
    function annotate(range) {
      annotators.forEach(function (a) { a(range); });
    }
    function withinRange(times, range) {
      var from = range ? range[0] : -Infinity, to = range ? range[1] : Infinity, within = [];
      for (var k = 0; k < times.length; ++k) if (times[k] >= from && times[k] <= to) within.push(k);
      return within;
    }

    // After the last plot: the range a link names (PAGE.html#zoom=FROM,TO, seconds of the day),
    // and each plot's range in the status.
    function start() {
      var zoom = /^#zoom=(-?[0-9.]+),(-?[0-9.]+)$/.exec(location.hash);
      if (graphs.length) rowsRange = graphs[0].xAxisRange();
      if (zoom && graphs.length) refresh([Number(zoom[1]), Number(zoom[2])]);
      status.ranges = {};
      graphs.forEach(function (g) { status.ranges[g.reportId] = g.xAxisRange(); });
    }

    return {graphs: graphs, frameAt: frameAt, frameSource: frameSource, plot: plot,
            annotators: annotators, annotate: annotate, withinRange: withinRange,
            start: start, kDetailFrames: kDetailFrames, kStretches: kStretches};
  }

  return {unpack: unpack, clock: clock, rowTicks: rowTicks, rowsHeight: rowsHeight,
          fingerprint: fingerprint, Plots: Plots};
})();
