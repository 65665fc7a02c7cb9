// Stands in for window.external when the pages are shown in a browser. Every
// access goes to the host over synchronous requests, so calls stay synchronous
// for the page, exactly as with the embedded document.
//
// A browser cannot tell whether a call's result is used, so each method is called
// with the flags its kind expects (METHOD_FLAGS, from the host's catalogue) and
// the host always passes a result slot.
(function () {
  'use strict';
  var TOKEN = '@TOKEN@';
  var METHOD_FLAGS = @METHOD_FLAGS@;
  var base = '/' + TOKEN + '/__external/';
  var functions = [];
  var closed = false;

  function HostError(number, text) {
    var error = new Error(text || ('window.external failed with ' + number));
    error.number = number;
    return error;
  }

  function post(what, body) {
    var request = new XMLHttpRequest();
    request.open('POST', base + what, false);
    request.setRequestHeader('Content-Type', 'application/json');
    request.send(JSON.stringify(body));
    if (request.status !== 200) throw HostError(-2147467259, 'the installer host did not answer');
    return JSON.parse(request.responseText);
  }

  function encode(value) {
    switch (typeof value) {
      case 'string': return { t: 's', v: value };
      case 'number':
        return (Number.isInteger(value) && value >= -2147483648 && value <= 2147483647) ? { t: 'i', v: value }
                                                                                         : { t: 'r', v: value };
      case 'boolean': return { t: 'b', v: value };
      case 'undefined': return { t: 'u' };
      case 'function':
      case 'object': {
        if (value === null) return { t: 'n' };
        var id = functions.indexOf(value);
        if (id < 0) { id = functions.length; functions.push(value); }
        return { t: 'f', id: id };
      }
      default: return { t: 's', v: String(value) };
    }
  }

  function decode(value) {
    if (!value) return undefined;
    switch (value.t) {
      case 's': case 'i': case 'r': case 'b': return value.v;
      case 'n': return null;
      case 'f': return functions[value.id];
      default: return undefined;
    }
  }

  // Runs a page function the host asked for; the outcome travels back as JSON.
  function runFunction(call) {
    var fn = functions[call.id];
    if (typeof fn !== 'function') return { value: { t: 'u' } };
    try {
      return { value: encode(fn.apply(null, (call.args || []).map(decode))) };
    } catch (e) {
      return { exception: String(e) };
    }
  }

  // One call: while it is in progress the host may ask for page functions to run.
  function exchange(request) {
    var answer = post('call', request);
    while (answer.callback) {
      answer = post('resume', { ticket: answer.ticket, outcome: runFunction(answer.callback) });
    }
    if (answer.error !== undefined) throw HostError(answer.error);
    return decode(answer.value);
  }

  function windowEvent(e) {
    if (e.op === 'resize' && typeof window.resizeTo === 'function') {
      try { window.resizeTo(e.width, e.height); } catch (ignored) {}
    }
    if (e.op === 'closed') {
      closed = true;
      document.documentElement.setAttribute('data-installer-closed', 'true');
    }
    try {
      window.dispatchEvent(new CustomEvent('installerhost', { detail: e }));
    } catch (ignored) {}
    if (e.op === 'closed') { try { window.close(); } catch (ignored) {} }
  }

  function poll() {
    if (closed) return;
    var request = new XMLHttpRequest();
    request.open('GET', base + 'events', true);
    request.onload = function () {
      var events = [];
      try { events = JSON.parse(request.responseText); } catch (ignored) {}
      events.forEach(function (e) {
        if (e.type === 'call') {
          post('done', { event: e.event, outcome: runFunction(e) });
        } else if (e.type === 'window') {
          windowEvent(e);
        }
      });
      setTimeout(poll, 0);
    };
    request.onerror = function () { if (!closed) setTimeout(poll, 500); };
    request.send();
  }

  var external = new Proxy({}, {
    get: function (target, name) {
      if (typeof name !== 'string') return undefined;
      if (Object.prototype.hasOwnProperty.call(METHOD_FLAGS, name)) {
        return function () {
          return exchange({ op: 'method', name: name, flags: METHOD_FLAGS[name],
                            args: Array.prototype.map.call(arguments, encode) });
        };
      }
      var value = exchange({ op: 'get', name: name, args: [] });
      if (typeof value === 'function') {
        // A stored function is called through the host, which calls it back here.
        return function () {
          return exchange({ op: 'invoke', name: name, args: Array.prototype.map.call(arguments, encode) });
        };
      }
      return value;
    },
    set: function (target, name, value) {
      exchange({ op: 'put', name: String(name), args: [encode(value)] });
      return true;
    },
    deleteProperty: function (target, name) {
      exchange({ op: 'delete', name: String(name), args: [] });
      return true;
    },
    has: function (target, name) { return Object.prototype.hasOwnProperty.call(METHOD_FLAGS, name); }
  });

  Object.defineProperty(window, 'external', { value: external, configurable: true, writable: false });
  poll();
})();
