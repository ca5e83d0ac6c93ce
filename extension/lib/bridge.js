// The connection to the Norvex bridge (native messaging host com.norvex.bridge), protocol 1 of
// docs/browsers.md: a hello first, then requests answered in order, each matched by its seq.
export const HOST = 'com.norvex.bridge';
export const PROTOCOL = 1;

// Why there is no bridge to talk to, in the words the panel and popup turn into one sentence:
// 'missing' (not installed or not registered for this browser), 'old' or 'new' (the bridge
// speaks another protocol version than this extension), 'failed' (it ended on its own).
export class BridgeError extends Error {
  constructor(reason, message, answer) {
    super(message);
    this.reason = reason;
    this.answer = answer || null;
  }
}

function reasonOfDisconnect(message) {
  if (/not found|forbidden|not registered|Invalid native messaging host/i.test(message || '')) return 'missing';
  return 'failed';
}

export class Bridge {
  constructor() {
    this.port = null;
    this.seq = 0;
    this.pending = new Map();
    this.ready = null;
    this.helloAnswer = null;
    this.version = null; // a protocol mismatch, once seen
  }

  connect() {
    if (this.ready) return this.ready;
    let port;
    try {
      port = chrome.runtime.connectNative(HOST);
    } catch (e) {
      return Promise.reject(new BridgeError('missing', String(e)));
    }
    this.port = port;
    port.onMessage.addListener((message) => this.receive(message));
    port.onDisconnect.addListener(() => {
      const why = (chrome.runtime.lastError && chrome.runtime.lastError.message) || 'the bridge ended';
      const error = new BridgeError(reasonOfDisconnect(why), why);
      this.port = null;
      this.ready = null;
      for (const p of this.pending.values()) p.reject(error);
      this.pending.clear();
    });
    this.ready = this.send({ type: 'hello', protocol: PROTOCOL, extension: chrome.runtime.getManifest().version })
      .then((answer) => {
        this.helloAnswer = answer;
        return answer;
      });
    this.ready.catch(() => { this.ready = null; });
    return this.ready;
  }

  receive(message) {
    const p = this.pending.get(message.seq);
    if (!p) return;
    if (message.type === 'image') {
      p.images.push(message);
      return;
    }
    this.pending.delete(message.seq);
    if (message.type === 'error') {
      if (message.code === 'protocol') {
        const reason = message.update === 'extension' ? 'new' : 'old';
        this.version = new BridgeError(reason, message.message || 'protocol', message);
        p.reject(this.version);
      } else {
        p.reject(new BridgeError('error', message.message || message.code, message));
      }
      return;
    }
    if (p.images.length) message.imageList = p.images;
    p.resolve(message);
  }

  send(message) {
    if (!this.port) return Promise.reject(new BridgeError('missing', 'not connected'));
    const seq = ++this.seq;
    return new Promise((resolve, reject) => {
      this.pending.set(seq, { resolve, reject, images: [] });
      try {
        this.port.postMessage({ ...message, seq });
      } catch (e) {
        this.pending.delete(seq);
        reject(new BridgeError('failed', String(e)));
      }
    });
  }

  async request(message) {
    await this.connect();
    if (this.version) throw this.version;
    return this.send(message);
  }

  disconnect() {
    if (this.port) this.port.disconnect();
    this.port = null;
    this.ready = null;
  }
}

// One bridge per page or worker.
let shared = null;
export function bridge() {
  if (!shared) shared = new Bridge();
  return shared;
}
