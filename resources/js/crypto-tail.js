
// ---- OrvelNetdisk: key, IV and the two entry points the client calls ----
var orvelKey = CryptoJS.enc.Latin1.parse("q7#mz2&kw9!rx4$t");
var orvelIv = CryptoJS.enc.Latin1.parse("b3&hp8*nd5%vy1^c");

// AES-128-CBC, PKCS#7, over the UTF-8 bytes; Base64 text out.
function toEncrypt(str) {
    var encrypted = CryptoJS.AES.encrypt(CryptoJS.enc.Utf8.parse(String(str)), orvelKey,
        { iv: orvelIv, mode: CryptoJS.mode.CBC, padding: CryptoJS.pad.Pkcs7 });
    return encrypted.ciphertext.toString(CryptoJS.enc.Base64);
}

// The reverse: Base64 text in, UTF-8 text out.
function toDecrypt(str) {
    var decrypted = CryptoJS.AES.decrypt(
        { ciphertext: CryptoJS.enc.Base64.parse(String(str)) }, orvelKey,
        { iv: orvelIv, mode: CryptoJS.mode.CBC, padding: CryptoJS.pad.Pkcs7 });
    return decrypted.toString(CryptoJS.enc.Utf8);
}
